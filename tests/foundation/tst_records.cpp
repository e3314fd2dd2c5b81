#include "DatabaseRecords.h"
#include "RecordChainPtr.h"
#include "TestEnvironment.h"

#include <QTest>

class RecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestEnvironment::FailOnWarnings(); }

    void textFieldsKeepTheirZero()
    {
        STU_DB_PATIENT_LIST patient;
        // Cut to 31 units plus the zero; a shorter value leaves no tail behind.
        for (const int length : {31, 40, 2}) {
            SetRecordText(patient.DeviceSN, QString(length, QLatin1Char('S')));
            QCOMPARE(GetRecordText(patient.DeviceSN), QString(qMin(length, 31), 'S'));
        }
        QCOMPARE(patient.DeviceSN[30], u'\0');
        SetRecordText(patient.Address, QString(255, QLatin1Char('a')));
        QCOMPARE(GetRecordText(patient.Address), QString(255, QLatin1Char('a')));
        // A character outside the basic plane is never cut in half.
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // two UTF-16 units
        SetRecordText(patient.Name, QString(30, QLatin1Char('n')) + clef);
        QCOMPARE(GetRecordText(patient.Name), QString(30, QLatin1Char('n')));
        SetRecordText(patient.Name, QString::fromUtf8("Zoë ") + clef);
        QCOMPARE(GetRecordText(patient.Name), QString::fromUtf8("Zoë ") + clef);
    }

    void chainsAreBuiltCopiedAndFreed()
    {
        RecordChainBuilder<STU_DB_NIBP_DATA_LIST> chain;
        for (int i = 0; i < 100; ++i)
            chain.Append(new STU_DB_NIBP_DATA_LIST);
        STU_DB_NIBP_DATA_LIST *head = chain.Release();
        head->pNext->SysValue = 1;
        QCOMPARE(RecordChainLength(head), 100);
        STU_DB_NIBP_DATA_LIST *copy = CopyRecord(*head->pNext);
        QCOMPARE(copy->SysValue, quint16(1));
        QVERIFY(!copy->pNext);
        delete copy;
        FreeRecordChain(head); // the sanitizer build reports any node left behind
        FreeRecordChain<STU_DB_SPO2_DATA_LIST>(nullptr);
    }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "tst_records.moc"
