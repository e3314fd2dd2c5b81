#include "ExportControl.h"
#include "FileSizeLimit.h"
#include "MSettings.h"
#include "PatientData.h"
#include "TestEnvironment.h"
#include "TestRecords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

namespace {

const QDateTime kStamp(QDate(2016, 6, 22), QTime(9, 5, 7));
const QDateTime kLater(QDate(2016, 12, 31), QTime(23, 59, 0));
const QStringList kFiles = {"NIBPData.csv", "PatientInfo.csv", "SPO2Data.csv", "TempData.csv"};

STU_DB_PATIENT_LIST *NewFullPatient()
{
    STU_DB_PATIENT_LIST *p = NewPatient(QStringLiteral("Doe"));
    SetRecordText(p->DeviceSN, QStringLiteral("A1"));
    p->IdInDevice = 3;
    p->Gender = 2;
    p->Height = 170.0f;
    p->Weight = 62.25f;
    SetRecordText(p->Mobile, QStringLiteral("555-0100"));
    SetRecordText(p->Doctor, QStringLiteral("Smith"));
    p->IdentityType = 1;
    SetRecordText(p->IdentityCode, QStringLiteral("ID-42"));
    SetRecordText(p->SocietyCode, QStringLiteral("SC-7"));
    p->PatientType = 1;
    p->Age = 47;
    SetRecordText(p->Address, QString::fromUtf8("Hauptstra\xc3\x9f"
                                                "e 5"));
    return p;
}

using Nibp = STU_DB_NIBP_DATA_LIST;
using Spo2 = STU_DB_SPO2_DATA_LIST;
using Temp = STU_DB_TEMP_DATA_LIST;

QByteArray ReadBytes(const QString &strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The three record files, one after the other.
QByteArray RecordFiles(const QString &strFolder)
{
    return ReadBytes(strFolder + "/NIBPData.csv") + ReadBytes(strFolder + "/SPO2Data.csv") +
           ReadBytes(strFolder + "/TempData.csv");
}

} // namespace

class TestExportControl : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TestEnvironment::FailOnWarnings();
        m_f = std::make_unique<Fixture>();
        m_f->exporter.SetClock([] { return kStamp; });
    }
    void cleanup() { m_f.reset(); }
    void filesOfFullAndPseudoPatient();
    void codedWords();
    void optionalKeysInFolderName();
    void quotedValues();
    void hostileNamesStayInside();
    void failuresAreReported();
    void longNamesAreCutToFit();

private:
    QString Folder(const QString &strName) const
    {
        return QDir::toNativeSeparators(QDir(m_f->env.ExportDirectory()).filePath(strName));
    }
    // Exports and checks that it reported success.
    QString Export()
    {
        bool bOk = false;
        const QString strFolder = m_f->exporter.ExportPatientData(&bOk);
        return bOk ? strFolder : QStringLiteral("<failed>");
    }

    // A fresh export directory, model and exporter for every test.
    struct Fixture
    {
        TestEnvironment env;
        PatientData model;
        ExportControl exporter{&model};
    };
    std::unique_ptr<Fixture> m_f;
};

void TestExportControl::filesOfFullAndPseudoPatient()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    m_f->model.SetCurrentPatient(pPatient);
    const QUuid uuid = pPatient->PatientID;
    AnswerLists(m_f->model, uuid,
                new Nibp{0, kStamp, 120, 80, 93, 72, new Nibp{0, kLater, 118, 79, 92, 70, nullptr}},
                new Spo2{0, kStamp, 98, 71, nullptr},
                new Temp{0, kStamp, 36.5f, new Temp{0, kLater, 37.1f, nullptr}});

    QString strFolder = Export();
    QCOMPARE(strFolder, Folder("A1_3_Doe_20160622090507"));
    QCOMPARE(ReadBytes(strFolder + "/PatientInfo.csv"),
             QByteArray("Device SN,A1\nID,3\nName,Doe\nGender,Female\nHeight(cm),170\n"
                        "Weight(kg),62.25\nMobile,555-0100\nDoctor,Smith\n"
                        "Identity Type,ID Card\nIdentity Code,ID-42\nSociety Code,SC-7\n"
                        "Patient Type,Adult\nAge,47\nAddress,Hauptstra\xc3\x9f"
                        "e 5\n"));
    QCOMPARE(RecordFiles(strFolder),
             QByteArray("Time,Sys,Dia,Mean,PR\n2016-06-22 09:05:07,120,80,93,72\n"
                        "2016-12-31 23:59:00,118,79,92,70\n"
                        "Time,SPO2,PR\n2016-06-22 09:05:07,98,71\n"
                        "Time,Temp\n2016-06-22 09:05:07,36.5\n2016-12-31 23:59:00,37.1\n"));

    // A second export in the same second replaces the folder's files.
    QVERIFY(QFile(strFolder + "/notes.txt").open(QIODevice::WriteOnly));
    m_f->model.OnDatabaseGetNIBPDataListSucc(new QUuid(uuid),
                                             new Nibp{0, kStamp, 99, 60, 70, 55, nullptr});
    QCOMPARE(Export(), strFolder);
    QCOMPARE(ReadBytes(strFolder + "/NIBPData.csv"),
             QByteArray("Time,Sys,Dia,Mean,PR\n2016-06-22 09:05:07,99,60,70,55\n"));
    QCOMPARE(QDir(strFolder).entryList(QDir::Files), kFiles);

    // The monitor's own pseudo-patient, without any records: headers only.
    pPatient = NewPatient();
    SetRecordText(pPatient->DeviceSN, QStringLiteral("SN0042"));
    pPatient->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    m_f->model.SetCurrentPatient(nullptr);
    m_f->model.SetCurrentPatient(pPatient);
    strFolder = Export();
    QCOMPARE(strFolder, Folder("SN0042_4294967295__20160622090507"));
    QCOMPARE(ReadBytes(strFolder + "/PatientInfo.csv"),
             QByteArray("Device SN,SN0042\nID,monitor\nName,\nGender,\nHeight(cm),0\n"
                        "Weight(kg),0\nMobile,\nDoctor,\nIdentity Type,\nIdentity Code,\n"
                        "Society Code,\nPatient Type,\nAge,0\nAddress,\n"));
    QCOMPARE(RecordFiles(strFolder), QByteArray("Time,Sys,Dia,Mean,PR\nTime,SPO2,PR\nTime,Temp\n"));
}

void TestExportControl::codedWords()
{
    const QStringList genders = {"", "Male", "Female", ""};
    const QStringList identityTypes = {"", "ID Card", "SIN Card", ""};
    const QStringList patientTypes = {"", "Adult", "Ped", "Neo", ""};
    for (int i = 0; i < patientTypes.size(); ++i) {
        STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
        pPatient->Gender = i < genders.size() ? i : -1;
        pPatient->IdentityType = i < identityTypes.size() ? i : 99;
        pPatient->PatientType = i;
        pPatient->Age = -i;
        pPatient->IdInDevice = 0;
        m_f->model.SetCurrentPatient(pPatient);
        m_f->exporter.SetClock([i] { return kStamp.addSecs(i); });
        const QStringList lines =
            QString::fromUtf8(ReadBytes(Export() + "/PatientInfo.csv")).split('\n');
        QCOMPARE(lines.size(), 15);
        QCOMPARE(lines.at(1), QString("ID,0"));
        QCOMPARE(lines.at(3), "Gender," + genders.value(i));
        QCOMPARE(lines.at(8), "Identity Type," + identityTypes.value(i));
        QCOMPARE(lines.at(11), "Patient Type," + patientTypes.at(i));
        QCOMPARE(lines.at(12), QString("Age,%1").arg(-i));
    }
}

// Only the identity and society code keys add to the folder name.
void TestExportControl::optionalKeysInFolderName()
{
    MSettings *pSettings = MSettings::GetInstance();
    m_f->model.SetCurrentPatient(NewFullPatient());
    const struct
    {
        bool bIdentify, bSociety, bOthers;
        const char *pszName;
    } cases[] = {
        {false, false, false, "A1_3_Doe_20160622090507"},
        {true, false, false, "A1_3_Doe_ID-42_20160622090507"},
        {false, true, false, "A1_3_Doe_SC-7_20160622090507"},
        {true, true, false, "A1_3_Doe_ID-42_SC-7_20160622090507"},
        {false, false, true, "A1_3_Doe_20160622090507"},
    };
    for (const auto &c : cases) {
        pSettings->SetPatientKeyIdentifyCode(c.bIdentify);
        pSettings->SetPatientKeySocietyCode(c.bSociety);
        pSettings->SetPatientKeyDeviceSN(c.bOthers);
        pSettings->SetPatientKeyPatientID(c.bOthers);
        QCOMPARE(Export(), Folder(c.pszName));
    }
    // With no export path the default folder in the home folder takes its place.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", m_f->env.Root().toUtf8());
    pSettings->SetExportFilePath(QString());
    const QString strDefault = Export();
    qputenv("HOME", home);
    QCOMPARE(strDefault,
             QDir::toNativeSeparators(m_f->env.Root() + "/VantrelMonitorSoftware/Export Files/"
                                                        "A1_3_Doe_20160622090507"));
}

// Fields with a comma, a quote or a line break are quoted, quotes doubled.
void TestExportControl::quotedValues()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    SetRecordText(pPatient->Name, "Doe, \"Jim\"");
    SetRecordText(pPatient->Mobile, "555,0100");
    SetRecordText(pPatient->Doctor, "\"");
    SetRecordText(pPatient->Address, "1 Main St\nFlat 2\r\nBack");
    m_f->model.SetCurrentPatient(pPatient);
    const QString strFolder = Export();
    QCOMPARE(strFolder, Folder("A1_3_Doe, _Jim__20160622090507"));
    QCOMPARE(ReadBytes(strFolder + "/PatientInfo.csv"),
             QByteArray("Device SN,A1\nID,3\nName,\"Doe, \"\"Jim\"\"\"\nGender,Female\n"
                        "Height(cm),170\nWeight(kg),62.25\nMobile,\"555,0100\"\n"
                        "Doctor,\"\"\"\"\nIdentity Type,ID Card\nIdentity Code,ID-42\n"
                        "Society Code,SC-7\nPatient Type,Adult\nAge,47\n"
                        "Address,\"1 Main St\nFlat 2\r\nBack\"\n"));
}

void TestExportControl::hostileNamesStayInside()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    SetRecordText(pPatient->DeviceSN, QStringLiteral(".."));
    SetRecordText(pPatient->Name, QStringLiteral("../../x"));
    SetRecordText(pPatient->IdentityCode, QStringLiteral("."));
    SetRecordText(pPatient->SocietyCode, QString("a\\b:c*d?e<f>g|h\ti\x01j"));
    m_f->model.SetCurrentPatient(pPatient);
    MSettings::GetInstance()->SetPatientKeyIdentifyCode(true);
    MSettings::GetInstance()->SetPatientKeySocietyCode(true);

    const QString strName = "___3_.._.._x___a_b_c_d_e_f_g_h_i_j_20160622090507";
    QCOMPARE(Export(), Folder(strName));
    const QDir exportDir(m_f->env.ExportDirectory());
    QCOMPARE(exportDir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({strName}));
    QCOMPARE(QDir(exportDir.filePath(strName)).entryList(QDir::Files), kFiles);
    QCOMPARE(
        QDir(m_f->env.Root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({"config", "export"}));
}

void TestExportControl::failuresAreReported()
{
    bool bOk = true;
    // No current patient: no folder, nothing written anywhere.
    QCOMPARE(m_f->exporter.ExportPatientData(&bOk), QString());
    QVERIFY(!bOk);
    QVERIFY(QDir(m_f->env.ExportDirectory()).isEmpty());
    QCOMPARE(m_f->exporter.ExportPatientData(), QString());

    m_f->model.SetCurrentPatient(NewFullPatient());
    // A file where the export directory should be: the folder cannot be made.
    const QString strBlocker = QDir(m_f->env.Root()).filePath("blocker");
    QVERIFY(QFile(strBlocker).open(QIODevice::WriteOnly));
    MSettings::GetInstance()->SetExportFilePath(strBlocker);
    bOk = true;
    QCOMPARE(m_f->exporter.ExportPatientData(&bOk),
             QDir::toNativeSeparators(QDir(strBlocker).filePath("A1_3_Doe_20160622090507")));
    QVERIFY(!bOk);
    QCOMPARE(ReadBytes(strBlocker), QByteArray());

    // The disk fills while the NIBP file is written: nothing of the export
    // remains, not even a temporary folder.
    MSettings::GetInstance()->SetExportFilePath(m_f->env.ExportDirectory());
    Nibp *pNibp = nullptr;
    for (int i = 0; i < 100; ++i)
        pNibp = new Nibp{0, kStamp.addSecs(i), 120, 80, 93, 72, pNibp};
    m_f->model.OnDatabaseGetNIBPDataListSucc(new QUuid(m_f->model.GetCurrentPatient()->PatientID),
                                             pNibp);
    const QDir exportDir(m_f->env.ExportDirectory());
    {
        FileSizeLimit limit(1024);
        QVERIFY(limit.IsSet());
        bOk = true;
        m_f->exporter.ExportPatientData(&bOk);
    }
    QVERIFY(!bOk);
    QVERIFY(exportDir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    // A file cannot take its place in the folder of an earlier export within
    // the same second (a folder stands there): none of the four is left.
    const QString strFolder = Folder("A1_3_Doe_20160622090507");
    QVERIFY(QDir().mkpath(strFolder + "/SPO2Data.csv"));
    bOk = true;
    m_f->exporter.ExportPatientData(&bOk);
    QVERIFY(!bOk);
    QCOMPARE(QDir(strFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"SPO2Data.csv"}));
    QCOMPARE(exportDir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"A1_3_Doe_20160622090507"}));
}

// Long codes of three- and four-byte characters with both code keys on: the
// name is cut to 255 bytes between characters, and stays one of its own.
void TestExportControl::longNamesAreCutToFit()
{
    MSettings::GetInstance()->SetPatientKeyIdentifyCode(true);
    MSettings::GetInstance()->SetPatientKeySocietyCode(true);
    QStringList names;
    for (const char *pszLast : {"a", "b"}) {
        STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
        SetRecordText(pPatient->Name, QString(10, QChar(0x4E2D)));
        SetRecordText(pPatient->IdentityCode, QString(63, QChar(0x4E2D)));
        SetRecordText(pPatient->SocietyCode,
                      QString::fromUtf16(u"\U0001F600").repeated(31) + pszLast);
        m_f->model.SetCurrentPatient(pPatient);
        names << QFileInfo(Export()).fileName();
        QVERIFY(names.last().toUtf8().size() <= 255);
        QCOMPARE(QString::fromUtf8(names.last().toUtf8()), names.last()); // no half character
        QVERIFY(names.last().startsWith("A1_3_") && names.last().endsWith("_20160622090507"));
    }
    QVERIFY(names.first() != names.last());
}

QTEST_GUILESS_MAIN(TestExportControl)
#include "tst_exportcontrol.moc"
