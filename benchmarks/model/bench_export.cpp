// Time of one export of a patient with n records of each kind (a month of
// records every five minutes is about 8640).
#include "ExportControl.h"
#include "MSettings.h"
#include "PatientData.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void FillModel(PatientData &model, int iCount)
{
    auto *pPatient = new STU_DB_PATIENT_LIST;
    pPatient->PatientID = QUuid::createUuid();
    SetRecordText(pPatient->DeviceSN, QStringLiteral("SN0001"));
    pPatient->IdInDevice = 7;
    SetRecordText(pPatient->Name, QStringLiteral("Doe, Jane"));
    SetRecordText(pPatient->Address, QStringLiteral("1 Main St"));
    model.SetCurrentPatient(pPatient);
    const QDateTime start(QDate(2016, 6, 1), QTime(0, 0));
    STU_DB_NIBP_DATA_LIST *pNibp = nullptr;
    STU_DB_SPO2_DATA_LIST *pSpo2 = nullptr;
    STU_DB_TEMP_DATA_LIST *pTemp = nullptr;
    for (int i = iCount - 1; i >= 0; --i) {
        const QDateTime time = start.addSecs(300 * i);
        pNibp = new STU_DB_NIBP_DATA_LIST{0, time, 120, 80, 93, 72, pNibp};
        pSpo2 = new STU_DB_SPO2_DATA_LIST{0, time, 98, 72, pSpo2};
        pTemp = new STU_DB_TEMP_DATA_LIST{0, time, 36.5f + float(i % 10) / 10.0f, pTemp};
    }
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(pPatient->PatientID), pNibp);
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(pPatient->PatientID), pSpo2);
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(pPatient->PatientID), pTemp);
}

void BM_ExportPatientData(benchmark::State &state)
{
    QTemporaryDir dir;
    MSettings::GetInstance()->SetExportFilePath(dir.path());
    PatientData model;
    FillModel(model, int(state.range(0)));
    ExportControl exporter(&model);
    for (auto _ : state) {
        bool bOk = false;
        benchmark::DoNotOptimize(exporter.ExportPatientData(&bOk));
        if (!bOk)
            state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 3);
}

} // namespace

BENCHMARK(BM_ExportPatientData)->Arg(100)->Arg(8640)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
