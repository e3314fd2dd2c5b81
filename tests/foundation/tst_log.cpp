#include "MLog.h"
#include "MSettings.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
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
        const QStringList lines = environment.LogText().split('\n');
        QCOMPARE(lines.size(), 5); // the start line, three calls, the empty text after "\n"
        QVERIFY(lines.at(0).endsWith(QStringLiteral("    Log module startup normally!")));
        QVERIFY(lines.at(0).contains(QStringLiteral("File: Log\\MLog.cpp, Line:")));
        QCOMPARE(MLog::SourceName("/x/src/main.cpp"), QByteArray("main.cpp"));
        const QRegularExpression format(
            QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] "
                           "File: foundation\\\\tst_log\\.cpp, Line:(\\d{5})    (.*)$"));
        const QRegularExpressionMatch first = format.match(lines.at(1));
        QVERIFY2(first.hasMatch(), qPrintable(lines.at(1)));
        QCOMPARE(first.captured(2), QString("first message"));
        const QRegularExpressionMatch empty = format.match(lines.at(2));
        QVERIFY(empty.hasMatch());
        QCOMPARE(empty.captured(1), QString("%1").arg(line, 5, 10, QLatin1Char('0')));
        QVERIFY(lines.at(2).endsWith(QStringLiteral("    ")));
        QCOMPARE(format.match(lines.at(3)).captured(2), QString("value 0x2a"));
        QCOMPARE(lines.at(4), QString());
    }

    // A restart starts a new file; with logging off no file is made, and an
    // old one is neither truncated nor appended to; an unopenable one is survived.
    void fileLifecycle()
    {
        {
            TestEnvironment environment;
            MLOG("from the previous run");
            QVERIFY(MLog::Start());
            QVERIFY(environment.LogText().startsWith(QStringLiteral("[")));
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
        const int threads = 4;
        const int perThread = 200;
        std::vector<QThread *> workers;
        for (int t = 0; t < threads; ++t) {
            workers.push_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    MLOG(QStringLiteral("thread %1 message %2 end").arg(t).arg(i));
            }));
            workers.back()->start();
        }
        for (QThread *worker : workers) {
            worker->wait();
            delete worker;
        }
        const QStringList lines = environment.LogText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + threads * perThread);
        const QRegularExpression whole(QStringLiteral(
            "^\\[[^\\]]+\\] File: [^ ]+ Line:\\d{5}    thread \\d message \\d+ end$"));
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(whole.match(lines.at(i)).hasMatch(), qPrintable(lines.at(i)));
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "tst_log.moc"
