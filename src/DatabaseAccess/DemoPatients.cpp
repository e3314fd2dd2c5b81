#include "DemoPatients.h"

#include "IVirtualDataAccessInterface.h"
#include "RecordChainPtr.h"

namespace {

constexpr int kDemoRecordCount = 200;
constexpr int kDemoRecordSpacingSecs = 1800;
constexpr int kDemoDays = 7;

template <typename Record> RecordChainPtr<Record> MakeDemoChain(void (*fill)(Record &, int))
{
    const QDateTime start = QDateTime::currentDateTime().addDays(-kDemoDays);
    RecordChainBuilder<Record> chain;
    for (int i = 0; i < kDemoRecordCount; ++i) {
        Record *record = new Record();
        chain.Append(record);
        record->MeasureTime = start.addSecs(static_cast<qint64>(i) * kDemoRecordSpacingSecs);
        fill(*record, i);
    }
    return RecordChainPtr<Record>(chain.Release());
}

void FillNibp(STU_DB_NIBP_DATA_LIST &record, int i)
{
    record.SysValue = static_cast<quint16>(120 + i % 20);
    record.DiaValue = static_cast<quint16>(80 + i % 40);
    record.MeanValue = static_cast<quint16>(93 + i % 30);
    record.PrValue = static_cast<quint16>(75 + i % 10);
}

void FillSpo2(STU_DB_SPO2_DATA_LIST &record, int i)
{
    record.SPO2Value = static_cast<quint16>(95 + i % 5);
    record.PrValue = static_cast<quint16>(100 - i % 40);
}

void FillTemp(STU_DB_TEMP_DATA_LIST &record, int i)
{
    record.TempValue = static_cast<float>(37.0 + 0.1 * (i % 40));
}

// The fields both demo patients fill, and their values.
struct DemoPatient
{
    quint32 idInDevice;
    const char16_t *name;
    qint32 gender;
    float height;
    float weight;
    const char *mobile;
    qint32 identityType;
    const char *identityCode;
    qint32 age;
};

void Fill(STU_DB_PATIENT_LIST &patient, const DemoPatient &demo)
{
    patient.PatientID = QUuid::createUuid();
    SetRecordText(patient.DeviceSN, QStringLiteral("demo_device_data"));
    patient.IdInDevice = demo.idInDevice;
    SetRecordText(patient.Name, QString::fromUtf16(demo.name));
    patient.Gender = demo.gender;
    patient.Height = demo.height;
    patient.Weight = demo.weight;
    SetRecordText(patient.Mobile, QLatin1String(demo.mobile));
    SetRecordText(patient.Doctor, QStringLiteral("demo_doctor"));
    patient.IdentityType = demo.identityType;
    SetRecordText(patient.IdentityCode, QLatin1String(demo.identityCode));
    patient.PatientType = 1;
    patient.Age = demo.age;
}

} // namespace

namespace DemoPatients {

void Store(IVirtualDataAccessInterface &store)
{
    STU_DB_PATIENT_LIST a;
    Fill(a, {1, u"\u5F20\u4E09", 1, 175.0f, 80.0f, "13888888888", 1, "238372373839729792", 38});
    store.InsertNewPatient(&a);
    STU_DB_PATIENT_LIST b;
    Fill(b, {MONITOR_PSEUDO_PATIENT_ID, u"\u674E\u56DB", 2, 163.0f, 48.0f, "18711111111", 2,
             "079788686868686780", 18});
    store.InsertNewPatient(&b);
    // Patient B first for every kind, as the list of the first start expects.
    for (QUuid *id : {&b.PatientID, &a.PatientID})
        store.InsertNibpData(id, MakeDemoChain(FillNibp).get());
    for (QUuid *id : {&b.PatientID, &a.PatientID})
        store.InsertSPO2Data(id, MakeDemoChain(FillSpo2).get());
    for (QUuid *id : {&b.PatientID, &a.PatientID})
        store.InsertTempData(id, MakeDemoChain(FillTemp).get());
}

} // namespace DemoPatients
