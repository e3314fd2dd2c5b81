#include "MLog.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

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
        MLOG(QStringLiteral("value 0x%1").arg(0x2a, 0, 16));
        const QString stamp = QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] ");
        const QString here = stamp + QStringLiteral("File: foundation\\\\tst_log\\.cpp, Line:");
        const QStringList expected = {
            stamp + QStringLiteral("File: Log\\\\MLog\\.cpp, Line:\\d{5}    Log module startup "
                                   "normally!$"),
            here + QStringLiteral("\\d{5}    first message$"),
            here + QStringLiteral("%1    $").arg(line, 5, 10, QLatin1Char('0')),
            here + QStringLiteral("\\d{5}    value 0x2a$"), QStringLiteral("^$")};
        const QStringList lines = environment.LogText().split('\n');
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(QRegularExpression(expected.at(i)).match(lines.at(i)).hasMatch(),
                     qPrintable(lines.at(i)));
        QCOMPARE(MLog::SourceName("/x/src/main.cpp"), QByteArray("main.cpp"));
    }

    // A restart starts a new file; with logging off no file is made, and an
    // old one is neither truncated nor appended to; an unopenable one is survived.
    void fileLifecycle()
    {
        {
            TestEnvironment environment;
            MLOG("from the previous run");
            QVERIFY(MLog::Start());
            QCOMPARE(environment.LogText().count('\n'), 1);
        }
        TestEnvironment environment(false);
        QVERIFY(MLog::Start());
        MLOG("nothing");
        QVERIFY(!QFile::exists(MLog::GetFilePath()));
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
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < 4; ++t) {
            workers.emplace_back(QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    MLOG(QStringLiteral("thread %1 message %2 end").arg(t).arg(i));
            }));
            workers.back()->start();
        }
        for (auto &worker : workers)
            worker->wait();
        const QStringList lines = environment.LogText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 4 * 200);
        const QRegularExpression whole(QStringLiteral(
            "^\\[[^\\]]+\\] File: [^ ]+ Line:\\d{5}    thread \\d message \\d+ end$"));
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(whole.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "tst_log.moc"
