#include "DatabaseRecords.h"
#include "TestEnvironment.h"

#include <QTest>

#include <algorithm>
#include <iterator>
#include <memory>

class RecordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestEnvironment::FailOnWarnings(); }

    void freshRecordsAreZero()
    {
        // The import and the demo data fill only what they know and rely on the rest being zero.
        const std::unique_ptr<STU_DB_PATIENT_LIST> patient(new STU_DB_PATIENT_LIST);
        QVERIFY(patient->PatientID.isNull());
        QVERIFY(std::all_of(std::begin(patient->Address), std::end(patient->Address),
                            [](char16_t unit) { return unit == u'\0'; }));
        QVERIFY(patient->LastUpdateTime.isNull() && !patient->ReadFlag && !patient->pNext);
    }

    void textFieldsKeepTheirZero()
    {
        STU_DB_PATIENT_LIST patient;
        const QString serial31(31, QLatin1Char('S'));
        SetRecordText(patient.DeviceSN, serial31);
        QCOMPARE(GetRecordText(patient.DeviceSN), serial31);
        QCOMPARE(patient.DeviceSN[31], u'\0');

        SetRecordText(patient.DeviceSN, QString(40, QLatin1Char('L')));
        QCOMPARE(GetRecordText(patient.DeviceSN), QString(31, QLatin1Char('L')));
        QCOMPARE(patient.DeviceSN[31], u'\0');

        // A shorter value leaves no tail of the longer one behind.
        SetRecordText(patient.DeviceSN, QStringLiteral("AB"));
        QCOMPARE(GetRecordText(patient.DeviceSN), QString("AB"));
        QCOMPARE(patient.DeviceSN[2], u'\0');
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
