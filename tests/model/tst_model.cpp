#include "ExportControl.h"
#include "FileSizeLimit.h"
#include "MSettings.h"
#include "TestEnvironment.h"
#include "TestRecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <optional>
#include <tuple>
#include <utility>

namespace {

const QDateTime kStamp(QDate(2016, 6, 22), QTime(9, 5, 7));
const QDateTime kLater(QDate(2016, 12, 31), QTime(23, 59, 0));
const QString kDoe = "A1_3_Doe_20160622090507";

STU_DB_PATIENT_LIST *NewFullPatient(quint32 uId = 3, qint32 iGender = 2, qint32 iIdentityType = 1,
                                    qint32 iPatientType = 1, qint32 iAge = 47)
{
    return new STU_DB_PATIENT_LIST{QUuid::createUuid(),
                                   u"A1",
                                   uId,
                                   u"Doe",
                                   iGender,
                                   170.0f,
                                   62.25f,
                                   u"555-0100",
                                   u"Smith",
                                   iIdentityType,
                                   u"ID-42",
                                   u"SC-7",
                                   iPatientType,
                                   iAge,
                                   u"Hauptstra\u00dfe 5",
                                   {},
                                   false,
                                   nullptr,
                                   0,
                                   0,
                                   0,
                                   {}};
}

using Nibp = STU_DB_NIBP_DATA_LIST;
using Spo2 = STU_DB_SPO2_DATA_LIST;
using Temp = STU_DB_TEMP_DATA_LIST;

QByteArray ReadBytes(const QString &strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray RecordFiles(const QString &strFolder)
{
    return ReadBytes(strFolder + "/NIBPData.csv") + ReadBytes(strFolder + "/SPO2Data.csv") +
           ReadBytes(strFolder + "/TempData.csv");
}

QStringList Entries(const QString &strFolder)
{
    return QDir(strFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

const QUuid kA = QUuid::createUuid(), kB = QUuid::createUuid();

// Answers the three list requests as the database service does.
void Answer(PatientData &model, const QUuid &uuid, int iLength)
{
    AnswerLists(model, uuid, NewChain<Nibp>(iLength), NewChain<Spo2>(iLength),
                NewChain<Temp>(iLength));
}

QList<quintptr> Lists(const PatientData &model)
{
    return {quintptr(model.GetNIBPDataList()), quintptr(model.GetSPO2DataList()),
            quintptr(model.GetTEMPDataList())};
}

// A model and the names of its change signals in the order they come.
struct LoggedModel : PatientData
{
    LoggedModel()
    {
        const auto add = [this](const char *pName) { return [this, pName] { log << pName; }; };
        connect(this, &PatientData::OnPatientDetailInfoChanged, this, add("detail"));
        connect(this, &PatientData::OnPatientNIBPDataChanged, this, add("nibp"));
        connect(this, &PatientData::OnPatientSPO2DataChanged, this, add("spo2"));
        connect(this, &PatientData::OnPatientTEMPDataChanged, this, add("temp"));
        connect(this, &PatientData::OnClearPatientData, this, add("clear"));
    }
    QString Take() { return std::exchange(log, {}).join(' '); }
    QStringList log;
};

} // namespace

class TestModel : public QObject
{
    Q_OBJECT
    // A fresh export directory for every test.
    std::optional<TestEnvironment> m_env;
    PatientData m_model;
    ExportControl m_exporter{&m_model};

    QString Folder(const QString &strName) const
    {
        return QDir::toNativeSeparators(QDir(m_env->ExportDirectory()).filePath(strName));
    }
    // Exports and returns the folder named, if it succeeded or failed as expected.
    QString Export(bool bSucceeds = true)
    {
        bool bOk = !bSucceeds;
        const QString strFolder = m_exporter.ExportPatientData(&bOk);
        return bOk == bSucceeds ? strFolder : QStringLiteral("<unexpected result>");
    }

private slots:
    void init()
    {
        TestEnvironment::FailOnWarnings();
        m_exporter.SetClock([] { return kStamp; });
        m_env.emplace();
        m_model.SetCurrentPatient(nullptr);
    }

    void listsOfTheCurrentPatientOnly()
    {
        LoggedModel model;
        // Answers before any patient is current: freed without a signal.
        Answer(model, kA, 2);
        model.OnDatabaseGetTEMPDataListSucc(new QUuid(), nullptr);

        model.SetCurrentPatientAndNotify(NewPatient({}, kA));
        Answer(model, kA, 2);
        const QList<quintptr> lists = Lists(model);
        QVERIFY(!lists.contains(0) && model.HasAllDataLists());
        QCOMPARE(model.Take(), "detail nibp spo2 temp");

        // Answers for a patient that is not current, or without a UUID, are freed
        // unseen; clearing another patient, or none, changes nothing.
        Answer(model, kB, 5);
        model.OnDatabaseGetNIBPDataListSucc(new QUuid(kB), nullptr);
        model.OnDatabaseGetSPO2DataListSucc(nullptr, NewChain<Spo2>(3));
        model.ClearPatientData(&kB);
        model.ClearPatientData(nullptr);
        QCOMPARE(model.GetCurrentPatient()->PatientID, kA);
        QCOMPARE(Lists(model), lists);

        // A newer record of the same patient keeps his lists, silently; another
        // patient's drops them at once, and his lists are awaited.
        model.SetCurrentPatient(NewPatient({}, kA));
        QVERIFY(Lists(model) == lists && model.HasAllDataLists());
        STU_DB_PATIENT_LIST *pB = NewPatient({}, kB);
        model.SetCurrentPatient(pB);
        QCOMPARE(Lists(model), QList<quintptr>(3));
        model.OnDatabaseGetNIBPDataListSucc(new QUuid(kB), NewChain<Nibp>(1));
        model.OnDatabaseGetSPO2DataListSucc(new QUuid(kB), nullptr);
        QVERIFY(!model.HasAllDataLists());
        QCOMPARE(model.Take(), "clear nibp spo2");

        // Handing back the record already held keeps it alive. An empty answer
        // for the current patient leaves him without records.
        model.SetCurrentPatientAndNotify(pB);
        QCOMPARE(model.GetCurrentPatient()->PatientID, kB);
        model.OnDatabaseGetNIBPDataListSucc(new QUuid(kB), nullptr);
        model.OnDatabaseGetTEMPDataListSucc(new QUuid(kB), NewChain<Temp>(1));
        QVERIFY(!model.GetNIBPDataList() && model.HasAllDataLists());
        QCOMPARE(model.Take(), "detail nibp temp");

        // Clearing the current patient, named by the UUID inside the record
        // itself, or making no record current drops everything, announced once.
        model.ClearPatientData(&pB->PatientID);
        QVERIFY(!model.GetCurrentPatient());
        model.ClearPatientData(&kB);
        model.SetCurrentPatient(NewPatient({}, kA));
        Answer(model, kA, 1);
        model.SetCurrentPatient(nullptr);
        QCOMPARE(Lists(model), QList<quintptr>(3));
        model.SetCurrentPatient(nullptr);
        model.SetCurrentPatientAndNotify(nullptr);
        QCOMPARE(model.Take(), "clear nibp spo2 temp clear detail");

        // Asked for again, in any order, his lists are all in when the three new answers are.
        // Whatever is held when the model goes is freed with it (checked by the sanitizer build).
        model.SetCurrentPatient(NewPatient({}, kA));
        Answer(model, kA, 4);
        model.OnDatabaseGetTEMPDataListSucc(new QUuid(kA), nullptr);
        model.OnDatabaseGetNIBPDataListSucc(new QUuid(kA), nullptr);
        QVERIFY(!model.HasAllDataLists());
        model.OnDatabaseGetSPO2DataListSucc(new QUuid(kA), NewChain<Spo2>(2));
        QVERIFY(model.HasAllDataLists());
    }

    void patientFiles()
    {
        STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
        m_model.SetCurrentPatient(pPatient);
        const QUuid uuid = pPatient->PatientID;
        AnswerLists(
            m_model, uuid,
            new Nibp{0, kStamp, 120, 80, 93, 72, new Nibp{0, kLater, 118, 79, 92, 70, nullptr}},
            new Spo2{0, kStamp, 98, 71, nullptr},
            new Temp{0, kStamp, 36.5f, new Temp{0, kLater, 37.1f, nullptr}});

        QString strFolder = Export();
        QCOMPARE(strFolder, Folder(kDoe));
        QCOMPARE(ReadBytes(strFolder + "/PatientInfo.csv"),
                 QByteArray("Device SN,A1\nID,3\nName,Doe\nGender,Female\nHeight(cm),170\n"
                            "Weight(kg),62.25\nMobile,555-0100\nDoctor,Smith\n"
                            "Identity Type,ID Card\nIdentity Code,ID-42\nSociety Code,SC-7\n"
                            "Patient Type,Adult\nAge,47\nAddress,Hauptstra\u00dfe 5\n"));
        QCOMPARE(RecordFiles(strFolder),
                 QByteArray("Time,Sys,Dia,Mean,PR\n2016-06-22 09:05:07,120,80,93,72\n"
                            "2016-12-31 23:59:00,118,79,92,70\n"
                            "Time,SPO2,PR\n2016-06-22 09:05:07,98,71\n"
                            "Time,Temp\n2016-06-22 09:05:07,36.5\n2016-12-31 23:59:00,37.1\n"));

        // A second export in the same second replaces the folder's files.
        QVERIFY(QFile(strFolder + "/notes.txt").open(QIODevice::WriteOnly));
        m_model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuid),
                                              new Nibp{0, kStamp, 99, 60, 70, 55, nullptr});
        QCOMPARE(Export(), strFolder);
        QCOMPARE(ReadBytes(strFolder + "/NIBPData.csv"),
                 QByteArray("Time,Sys,Dia,Mean,PR\n2016-06-22 09:05:07,99,60,70,55\n"));
        QCOMPARE(Entries(strFolder),
                 QStringList({"NIBPData.csv", "PatientInfo.csv", "SPO2Data.csv", "TempData.csv"}));

        // The monitor's own pseudo-patient, without any records: headers only.
        pPatient = NewPatient();
        SetRecordText(pPatient->DeviceSN, QStringLiteral("SN0042"));
        pPatient->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
        m_model.SetCurrentPatient(pPatient);
        strFolder = Export();
        QCOMPARE(strFolder, Folder("SN0042_4294967295__20160622090507"));
        QCOMPARE(ReadBytes(strFolder + "/PatientInfo.csv"),
                 QByteArray("Device SN,SN0042\nID,monitor\nName,\nGender,\nHeight(cm),0\n"
                            "Weight(kg),0\nMobile,\nDoctor,\nIdentity Type,\nIdentity Code,\n"
                            "Society Code,\nPatient Type,\nAge,0\nAddress,\n"));
        QCOMPARE(RecordFiles(strFolder),
                 QByteArray("Time,Sys,Dia,Mean,PR\nTime,SPO2,PR\nTime,Temp\n"));

        // Other codes, out of range ones as empty words; ID 0 and a negative age as they are.
        const std::tuple<int, int, int, const char *> cases[] = {
            {1, 2, 2, "ID,0|Gender,Male|Identity Type,SIN Card|Patient Type,Ped|Age,-1"},
            {3, 99, 3, "ID,0|Gender,|Identity Type,|Patient Type,Neo|Age,-1"},
            {-1, 3, 4, "ID,0|Gender,|Identity Type,|Patient Type,|Age,-1"}};
        for (const auto &[iGender, iIdentityType, iPatientType, pszLines] : cases) {
            m_model.SetCurrentPatient(NewFullPatient(0, iGender, iIdentityType, iPatientType, -1));
            const QList<QByteArray> lines = ReadBytes(Export() + "/PatientInfo.csv").split('\n');
            QCOMPARE(QList<QByteArray>({lines[1], lines[3], lines[8], lines[11], lines[12]}),
                     QByteArray(pszLines).split('|'));
        }
    }

    // Only the identity and society code keys add to the folder name.
    void optionalKeysInFolderName()
    {
        MSettings *pSettings = MSettings::GetInstance();
        m_model.SetCurrentPatient(NewFullPatient());
        const char *const names[] = {"A1_3_Doe_", "A1_3_Doe_ID-42_", "A1_3_Doe_SC-7_",
                                     "A1_3_Doe_ID-42_SC-7_"};
        for (int i = 0; i < 4; ++i) {
            pSettings->SetPatientKeyIdentifyCode(i & 1);
            pSettings->SetPatientKeySocietyCode(i & 2);
            pSettings->SetPatientKeyDeviceSN(i == 0);
            pSettings->SetPatientKeyPatientID(i == 0);
            QCOMPARE(Export(), Folder(names[i] + QString("20160622090507")));
        }
        // With no export path the default folder in the home folder takes its place.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", m_env->Root().toUtf8());
        pSettings->SetExportFilePath(QString());
        const QString strDefault = Export();
        qputenv("HOME", home);
        QCOMPARE(strDefault,
                 QDir::toNativeSeparators(m_env->Root() + "/VantrelMonitorSoftware/Export Files/" +
                                          names[3] + "20160622090507"));
    }

    // Fields with a comma, a quote or a line break are quoted, quotes doubled. In the folder name
    // such texts, "." and ".." too, cannot reach outside the export directory; long ones are cut.
    void oddTexts()
    {
        STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
        SetRecordText(pPatient->DeviceSN, "..");
        SetRecordText(pPatient->Name, "../Doe, \"Jim\"");
        SetRecordText(pPatient->Mobile, "555,0100");
        SetRecordText(pPatient->Doctor, "\"");
        SetRecordText(pPatient->IdentityCode, ".");
        SetRecordText(pPatient->SocietyCode, "a\\b:c*d?e<f>g|h\ti\x01j");
        SetRecordText(pPatient->Address, "1 Main St\nFlat 2\r\nBack");
        m_model.SetCurrentPatient(pPatient);
        MSettings::GetInstance()->SetPatientKeyIdentifyCode(true);
        MSettings::GetInstance()->SetPatientKeySocietyCode(true);

        const QString strName = "___3_.._Doe, _Jim____a_b_c_d_e_f_g_h_i_j_20160622090507";
        QCOMPARE(Export(), Folder(strName));
        QCOMPARE(Entries(m_env->ExportDirectory()), QStringList({strName}));
        QCOMPARE(Entries(m_env->Root()), QStringList({"config", "export"}));
        QCOMPARE(ReadBytes(Folder(strName) + "/PatientInfo.csv"),
                 QByteArray("Device SN,..\nID,3\nName,\"../Doe, \"\"Jim\"\"\"\nGender,Female\n"
                            "Height(cm),170\nWeight(kg),62.25\nMobile,\"555,0100\"\n"
                            "Doctor,\"\"\"\"\nIdentity Type,ID Card\nIdentity Code,.\n"
                            "Society Code,a\\b:c*d?e<f>g|h\ti\x01j\nPatient Type,Adult\nAge,47\n"
                            "Address,\"1 Main St\nFlat 2\r\nBack\"\n"));

        // Long codes of three- and four-byte characters: the name is cut to 255
        // bytes between characters, and stays one of its own.
        QStringList names;
        for (const char *pszLast : {"a", "b"}) {
            pPatient = NewFullPatient();
            SetRecordText(pPatient->Name, QString(10, QChar(0x4E2D)));
            SetRecordText(pPatient->IdentityCode, QString(63, QChar(0x4E2D)));
            SetRecordText(pPatient->SocietyCode,
                          QString::fromUtf16(u"\U0001F600").repeated(31) + pszLast);
            m_model.SetCurrentPatient(pPatient);
            names << QFileInfo(Export()).fileName();
            QVERIFY(names.last().toUtf8().size() <= 255);
            QCOMPARE(QString::fromUtf8(names.last().toUtf8()), names.last()); // no half character
            QVERIFY(names.last().startsWith("A1_3_") && names.last().endsWith("_20160622090507"));
        }
        QVERIFY(names.first() != names.last());
    }

    void failuresAreReported()
    {
        // No current patient: no folder, nothing written anywhere. (An export
        // directory that cannot be made: the main window's tests.)
        QCOMPARE(Export(false), QString());
        QVERIFY(Entries(m_env->ExportDirectory()).isEmpty());
        m_model.SetCurrentPatient(NewFullPatient());
        // The disk fills while NIBP is written: nothing of the export remains, not even a temp
        // folder.
        m_model.OnDatabaseGetNIBPDataListSucc(new QUuid(m_model.GetCurrentPatient()->PatientID),
                                              NewChain<Nibp>(100));
        {
            FileSizeLimit limit(1024);
            QVERIFY(limit.IsSet());
            QCOMPARE(Export(false), Folder(kDoe));
        }
        QVERIFY(Entries(m_env->ExportDirectory()).isEmpty());

        // A file cannot take its place in the folder of an earlier export within
        // the same second (a folder stands there): none of the four is left.
        QVERIFY(QDir().mkpath(Folder(kDoe) + "/SPO2Data.csv"));
        QCOMPARE(Export(false), Folder(kDoe));
        QCOMPARE(Entries(Folder(kDoe)), QStringList({"SPO2Data.csv"}));
        QCOMPARE(Entries(m_env->ExportDirectory()), QStringList({kDoe}));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
