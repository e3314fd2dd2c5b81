#include "MLog.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <thread>
#include <vector>

class LogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestEnvironment::FailOnWarnings(); }

    void lineFormat()
    {
        TestEnvironment environment;
        MLOG("first message");
        const int line = __LINE__ + 1;
        MLOG(QString());
        // Time stamps to the second, line numbers padded to five digits.
        QString log = environment.LogText();
        log.replace(QRegularExpression("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] ",
                                       QRegularExpression::MultilineOption),
                    "[T] ")
            .replace(QRegularExpression("Line:\\d{5}    (?!\\n)"), "Line:N    ");
        const QString here = QStringLiteral("[T] File: foundation\\tst_log.cpp, Line:");
        QCOMPARE(log, "[T] File: Log\\MLog.cpp, Line:N    Log module startup normally!\n" + here +
                          "N    first message\n" + here +
                          QStringLiteral("%1    \n").arg(line, 5, 10, QLatin1Char('0')));
        QCOMPARE(MLog::SourceName("/x/src/main.cpp"), QByteArray("main.cpp"));
    }

    // A restart starts a new file; with logging off an old one is neither
    // truncated nor appended to; an unopenable one is survived.
    void fileLifecycle()
    {
        {
            TestEnvironment environment;
            MLOG("from the previous run");
            QVERIFY(MLog::Start());
            QCOMPARE(environment.LogText().count('\n'), 1);
        }
        TestEnvironment environment(false);
        QFile old(MLog::GetFilePath());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old run\n") == 8);
        old.close();
        QVERIFY(MLog::Start());
        MLOG("nothing either");
        QCOMPARE(environment.LogText(), QString("old run\n"));

        QVERIFY(old.remove() && QDir(environment.ConfigDirectory()).mkdir("OutLog.txt"));
        MLog::SetOutLog(true);
        QVERIFY(!MLog::Start());
        MLOG("goes nowhere");
        MLog::SetOutLog(false);
    }

    void linesFromSeveralThreadsNeverInterleave()
    {
        TestEnvironment environment;
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t)
            workers.emplace_back([t] {
                for (int i = 0; i < 200; ++i)
                    MLOG(QStringLiteral("thread %1 message %2 end").arg(t).arg(i));
            });
        for (std::thread &worker : workers)
            worker.join();
        const QRegularExpression whole(
            "^\\[[^\\]]+\\] File: [^ ]+ Line:\\d{5}    thread \\d message \\d+ end$",
            QRegularExpression::MultilineOption);
        QCOMPARE(environment.LogText().count(whole), 4 * 200);
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "tst_log.moc"
