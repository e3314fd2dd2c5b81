#include "ExportControl.h"
#include "MSettings.h"
#include "PatientData.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

namespace {

const QDateTime kStamp(QDate(2016, 6, 22), QTime(9, 5, 7));
const QStringList kFiles = {"PatientInfo.csv", "NIBPData.csv", "SPO2Data.csv", "TempData.csv"};

STU_DB_PATIENT_LIST *NewFullPatient()
{
    auto *p = new STU_DB_PATIENT_LIST;
    p->PatientID = QUuid::createUuid();
    SetRecordText(p->DeviceSN, QStringLiteral("A1"));
    p->IdInDevice = 3;
    SetRecordText(p->Name, QStringLiteral("Doe"));
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

STU_DB_NIBP_DATA_LIST *NewNibp(const QDateTime &time, quint16 sys, quint16 dia, quint16 mean,
                               quint16 pr, STU_DB_NIBP_DATA_LIST *pNext = nullptr)
{
    auto *p = new STU_DB_NIBP_DATA_LIST;
    p->MeasureTime = time;
    p->SysValue = sys;
    p->DiaValue = dia;
    p->MeanValue = mean;
    p->PrValue = pr;
    p->pNext = pNext;
    return p;
}

QByteArray ReadBytes(const QString &strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A strict reader for comma-separated text with double-quote quoting; an
// unbalanced or misplaced quote gives no rows at all.
QList<QStringList> ReadCsv(const QString &strText)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool bQuoted = false;
    bool bWasQuoted = false;
    for (int i = 0; i < strText.size(); ++i) {
        const QChar c = strText.at(i);
        if (bQuoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < strText.size() && strText.at(i + 1) == '"')
                field += strText.at(++i);
            else
                bQuoted = false;
        } else if (c == '"') {
            if (!field.isEmpty() || bWasQuoted)
                return {};
            bQuoted = bWasQuoted = true;
        } else if (c == ',' || c == '\n') {
            row << field;
            field.clear();
            bWasQuoted = false;
            if (c == '\n') {
                rows << row;
                row.clear();
            }
        } else if (bWasQuoted) {
            return {};
        } else {
            field += c;
        }
    }
    if (bQuoted || !field.isEmpty() || !row.isEmpty())
        return {};
    return rows;
}

} // namespace

class TestExportControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fullPatientBytes();
    void pseudoPatientBytes();
    void codedWords();
    void optionalKeysInFolderName();
    void quotedValuesReadBack();
    void hostileNamesStayInside();
    void failuresAreReported();
    void sameSecondReplacesFiles();

private:
    QString ExpectedFolder(const QString &strName) const
    {
        return QDir(m_pEnv->ExportDirectory()).filePath(strName);
    }
    QString Export(bool *pbSucceeded)
    {
        *pbSucceeded = false;
        return m_pExporter->ExportPatientData(pbSucceeded);
    }

    std::unique_ptr<TestEnvironment> m_pEnv;
    std::unique_ptr<PatientData> m_pModel;
    std::unique_ptr<ExportControl> m_pExporter;
};

void TestExportControl::init()
{
    TestEnvironment::FailOnWarnings();
    m_pEnv = std::make_unique<TestEnvironment>();
    m_pModel = std::make_unique<PatientData>();
    m_pExporter = std::make_unique<ExportControl>(m_pModel.get());
    m_pExporter->SetClock([] { return kStamp; });
}

void TestExportControl::cleanup()
{
    m_pExporter.reset();
    m_pModel.reset();
    m_pEnv.reset();
}

void TestExportControl::fullPatientBytes()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    m_pModel->SetCurrentPatient(pPatient);
    const QUuid uuid = pPatient->PatientID;
    const QDateTime t1 = kStamp;
    const QDateTime t2(QDate(2016, 12, 31), QTime(23, 59, 0));
    m_pModel->OnDatabaseGetNIBPDataListSucc(
        new QUuid(uuid), NewNibp(t1, 120, 80, 93, 72, NewNibp(t2, 118, 79, 92, 70)));
    auto *pSpo2 = new STU_DB_SPO2_DATA_LIST;
    pSpo2->MeasureTime = t1;
    pSpo2->SPO2Value = 98;
    pSpo2->PrValue = 71;
    m_pModel->OnDatabaseGetSPO2DataListSucc(new QUuid(uuid), pSpo2);
    auto *pTemp = new STU_DB_TEMP_DATA_LIST;
    pTemp->MeasureTime = t1;
    pTemp->TempValue = 36.5f;
    pTemp->pNext = new STU_DB_TEMP_DATA_LIST;
    pTemp->pNext->MeasureTime = t2;
    pTemp->pNext->TempValue = 37.1f;
    m_pModel->OnDatabaseGetTEMPDataListSucc(new QUuid(uuid), pTemp);

    bool bOk = false;
    const QString strFolder = Export(&bOk);
    QVERIFY(bOk);
    const QString strExpected = ExpectedFolder("A1_3_Doe_20160622090507");
    QCOMPARE(strFolder, QDir::toNativeSeparators(strExpected));
    QCOMPARE(ReadBytes(strExpected + "/PatientInfo.csv"),
             QByteArray("Device SN,A1\nID,3\nName,Doe\nGender,Female\nHeight(cm),170\n"
                        "Weight(kg),62.25\nMobile,555-0100\nDoctor,Smith\n"
                        "Identity Type,ID Card\nIdentity Code,ID-42\nSociety Code,SC-7\n"
                        "Patient Type,Adult\nAge,47\nAddress,Hauptstra\xc3\x9f"
                        "e 5\n"));
    QCOMPARE(ReadBytes(strExpected + "/NIBPData.csv"),
             QByteArray("Time,Sys,Dia,Mean,PR\n2016-06-22 09:05:07,120,80,93,72\n"
                        "2016-12-31 23:59:00,118,79,92,70\n"));
    QCOMPARE(ReadBytes(strExpected + "/SPO2Data.csv"),
             QByteArray("Time,SPO2,PR\n2016-06-22 09:05:07,98,71\n"));
    QCOMPARE(ReadBytes(strExpected + "/TempData.csv"),
             QByteArray("Time,Temp\n2016-06-22 09:05:07,36.5\n2016-12-31 23:59:00,37.1\n"));
    QCOMPARE(QDir(strExpected).entryList(QDir::Files).size(), kFiles.size());
}

void TestExportControl::pseudoPatientBytes()
{
    auto *pPatient = new STU_DB_PATIENT_LIST;
    pPatient->PatientID = QUuid::createUuid();
    SetRecordText(pPatient->DeviceSN, QStringLiteral("SN0042"));
    pPatient->IdInDevice = MONITOR_PSEUDO_PATIENT_ID;
    m_pModel->SetCurrentPatient(pPatient);

    bool bOk = false;
    Export(&bOk);
    QVERIFY(bOk);
    const QString strExpected = ExpectedFolder("SN0042_4294967295__20160622090507");
    QCOMPARE(ReadBytes(strExpected + "/PatientInfo.csv"),
             QByteArray("Device SN,SN0042\nID,monitor\nName,\nGender,\nHeight(cm),0\n"
                        "Weight(kg),0\nMobile,\nDoctor,\nIdentity Type,\nIdentity Code,\n"
                        "Society Code,\nPatient Type,\nAge,0\nAddress,\n"));
    QCOMPARE(ReadBytes(strExpected + "/NIBPData.csv"), QByteArray("Time,Sys,Dia,Mean,PR\n"));
    QCOMPARE(ReadBytes(strExpected + "/SPO2Data.csv"), QByteArray("Time,SPO2,PR\n"));
    QCOMPARE(ReadBytes(strExpected + "/TempData.csv"), QByteArray("Time,Temp\n"));
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
        m_pModel->SetCurrentPatient(pPatient);
        m_pExporter->SetClock([i] { return kStamp.addSecs(i); });
        bool bOk = false;
        const QString strFolder = Export(&bOk);
        QVERIFY(bOk);
        const QStringList lines =
            QString::fromUtf8(ReadBytes(strFolder + "/PatientInfo.csv")).split('\n');
        QCOMPARE(lines.size(), 15);
        QCOMPARE(lines.at(1), QString("ID,0"));
        QCOMPARE(lines.at(3), "Gender," + genders.value(i));
        QCOMPARE(lines.at(8), "Identity Type," + identityTypes.value(i));
        QCOMPARE(lines.at(11), "Patient Type," + patientTypes.at(i));
        QCOMPARE(lines.at(12), QString("Age,%1").arg(-i));
    }
}

void TestExportControl::optionalKeysInFolderName()
{
    MSettings *pSettings = MSettings::GetInstance();
    m_pModel->SetCurrentPatient(NewFullPatient());
    const struct
    {
        bool bIdentify, bSociety;
        const char *pszName;
    } cases[] = {
        {false, false, "A1_3_Doe_20160622090507"},
        {true, false, "A1_3_Doe_ID-42_20160622090507"},
        {false, true, "A1_3_Doe_SC-7_20160622090507"},
        {true, true, "A1_3_Doe_ID-42_SC-7_20160622090507"},
    };
    for (const auto &c : cases) {
        pSettings->SetPatientKeyIdentifyCode(c.bIdentify);
        pSettings->SetPatientKeySocietyCode(c.bSociety);
        bool bOk = false;
        QCOMPARE(Export(&bOk), QDir::toNativeSeparators(ExpectedFolder(c.pszName)));
        QVERIFY(bOk);
    }
    // The other keys do not take part in the name.
    pSettings->SetPatientKeyIdentifyCode(false);
    pSettings->SetPatientKeySocietyCode(false);
    pSettings->SetPatientKeyDeviceSN(true);
    pSettings->SetPatientKeyPatientID(true);
    bool bOk = false;
    QCOMPARE(Export(&bOk), QDir::toNativeSeparators(ExpectedFolder(cases[0].pszName)));
}

void TestExportControl::quotedValuesReadBack()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    const QString strName = "Doe, \"Jim\"";
    const QString strAddress = "1 Main St\nFlat 2,\r\nBack";
    SetRecordText(pPatient->Name, strName);
    SetRecordText(pPatient->Address, strAddress);
    SetRecordText(pPatient->Doctor, "\"");
    m_pModel->SetCurrentPatient(pPatient);

    bool bOk = false;
    const QString strFolder = Export(&bOk);
    QVERIFY(bOk);
    QCOMPARE(strFolder, QDir::toNativeSeparators(ExpectedFolder("A1_3_Doe, _Jim__20160622090507")));
    const QByteArray bytes = ReadBytes(strFolder + "/PatientInfo.csv");
    QVERIFY(bytes.contains("\nName,\"Doe, \"\"Jim\"\"\"\n"));
    QVERIFY(bytes.contains("\nDoctor,\"\"\"\"\n"));
    QVERIFY(bytes.contains("\nMobile,555-0100\n"));

    const QList<QStringList> rows = ReadCsv(QString::fromUtf8(bytes));
    QCOMPARE(rows.size(), 14);
    for (const QStringList &row : rows)
        QCOMPARE(row.size(), 2);
    QCOMPARE(rows.at(2), QStringList({"Name", strName}));
    QCOMPARE(rows.at(7), QStringList({"Doctor", "\""}));
    QCOMPARE(rows.at(13), QStringList({"Address", strAddress}));
}

void TestExportControl::hostileNamesStayInside()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    SetRecordText(pPatient->DeviceSN, QStringLiteral(".."));
    SetRecordText(pPatient->Name, QStringLiteral("../../x"));
    SetRecordText(pPatient->IdentityCode, QStringLiteral("."));
    SetRecordText(pPatient->SocietyCode, QString("a\\b:c*d?e<f>g|h\ti\x01j"));
    m_pModel->SetCurrentPatient(pPatient);
    MSettings::GetInstance()->SetPatientKeyIdentifyCode(true);
    MSettings::GetInstance()->SetPatientKeySocietyCode(true);

    bool bOk = false;
    const QString strFolder = Export(&bOk);
    QVERIFY(bOk);
    const QString strName = "___3_.._.._x___a_b_c_d_e_f_g_h_i_j_20160622090507";
    QCOMPARE(strFolder, QDir::toNativeSeparators(ExpectedFolder(strName)));
    const QDir exportDir(m_pEnv->ExportDirectory());
    QCOMPARE(exportDir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({strName}));
    QCOMPARE(QDir(strFolder).entryList(QDir::Files).size(), kFiles.size());
    QCOMPARE(QDir(m_pEnv->Root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"config", "export"}));
}

void TestExportControl::failuresAreReported()
{
    bool bOk = true;
    // No current patient: no folder, nothing written anywhere.
    QCOMPARE(m_pExporter->ExportPatientData(&bOk), QString());
    QVERIFY(!bOk);
    QVERIFY(QDir(m_pEnv->ExportDirectory()).isEmpty());
    QCOMPARE(m_pExporter->ExportPatientData(), QString());

    m_pModel->SetCurrentPatient(NewFullPatient());
    // A file where the export directory should be: the folder cannot be made.
    const QString strBlocker = QDir(m_pEnv->Root()).filePath("blocker");
    QFile blocker(strBlocker);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    MSettings::GetInstance()->SetExportFilePath(strBlocker);
    QCOMPARE(Export(&bOk),
             QDir::toNativeSeparators(QDir(strBlocker).filePath("A1_3_Doe_20160622090507")));
    QVERIFY(!bOk);
    QCOMPARE(ReadBytes(strBlocker), QByteArray());

    // One of the four files cannot be opened (a folder stands in its place).
    MSettings::GetInstance()->SetExportFilePath(m_pEnv->ExportDirectory());
    const QString strFolder = ExpectedFolder("A1_3_Doe_20160622090507");
    QVERIFY(QDir().mkpath(strFolder + "/SPO2Data.csv"));
    Export(&bOk);
    QVERIFY(!bOk);
    QCOMPARE(ReadBytes(strFolder + "/TempData.csv"), QByteArray("Time,Temp\n"));
}

void TestExportControl::sameSecondReplacesFiles()
{
    STU_DB_PATIENT_LIST *pPatient = NewFullPatient();
    const QUuid uuid = pPatient->PatientID;
    m_pModel->SetCurrentPatient(pPatient);
    m_pModel->OnDatabaseGetNIBPDataListSucc(
        new QUuid(uuid), NewNibp(kStamp, 120, 80, 93, 72, NewNibp(kStamp, 121, 81, 94, 73)));
    bool bOk = false;
    const QString strFolder = Export(&bOk);
    QVERIFY(bOk);
    QFile stray(strFolder + "/notes.txt");
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.close();

    m_pModel->OnDatabaseGetNIBPDataListSucc(new QUuid(uuid), NewNibp(kStamp, 99, 60, 70, 55));
    QCOMPARE(Export(&bOk), strFolder);
    QVERIFY(bOk);
    QCOMPARE(ReadBytes(strFolder + "/NIBPData.csv"),
             QByteArray("Time,Sys,Dia,Mean,PR\n2016-06-22 09:05:07,99,60,70,55\n"));
    QStringList files = QDir(strFolder).entryList(QDir::Files);
    files.sort();
    QStringList expected = kFiles;
    expected.sort();
    QCOMPARE(files, expected);
}

QTEST_GUILESS_MAIN(TestExportControl)
#include "tst_exportcontrol.moc"
