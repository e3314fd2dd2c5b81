#include "DatabaseRecords.h"
#include "TestEnvironment.h"

#include <QTest>

#include <algorithm>

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
            QCOMPARE(GetRecordText(patient.DeviceSN), QString(std::min(length, 31), 'S'));
            QCOMPARE(patient.DeviceSN[std::min(length, 31)], u'\0');
        }
        QCOMPARE(patient.DeviceSN[30], u'\0');

        const QString address255(255, QLatin1Char('a'));
        SetRecordText(patient.Address, address255);
        QCOMPARE(GetRecordText(patient.Address), address255);

        // A character outside the basic plane is never cut in half.
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E"); // two UTF-16 units
        SetRecordText(patient.Name, QString(30, QLatin1Char('n')) + clef);
        QCOMPARE(GetRecordText(patient.Name), QString(30, QLatin1Char('n')));
        SetRecordText(patient.Name, QString::fromUtf8("Zoë ") + clef);
        QCOMPARE(GetRecordText(patient.Name), QString::fromUtf8("Zoë ") + clef);
    }

    void chainsAreBuiltCopiedAndFreed()
    {
        STU_DB_NIBP_DATA_LIST *head = nullptr;
        STU_DB_NIBP_DATA_LIST **tail = &head;
        for (int i = 0; i < 100; ++i) {
            *tail = new STU_DB_NIBP_DATA_LIST;
            (*tail)->SysValue = static_cast<quint16>(i);
            (*tail)->MeasureTime = QDateTime(QDate(2016, 3, 2), QTime(9, 5, i % 60));
            tail = &(*tail)->pNext;
        }
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
