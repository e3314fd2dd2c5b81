#include "WorkItemSink.h"

WorkItemSink::WorkItemSink(CommunicationProcessControl &control)
{
    connect(&control, &CommunicationProcessControl::NewDatabaseTask, this,
            [this](uint type, quintptr w, quintptr l) {
                items.append(Item{type, w, l});
            });
    connect(&control, &CommunicationProcessControl::OnImportOnePatientDataFinished, this,
            [this](QUuid *uuid) { finishedPatients.append(uuid); });
    connect(&control, &CommunicationProcessControl::ImportDataFinished, this,
            [this] { ++importFinished; });
}

WorkItemSink::~WorkItemSink()
{
    for (const Item &item : items) {
        switch (item.type) {
        case DB_WORK_INSERT_NEW_PATIENT:
            delete reinterpret_cast<STU_DB_PATIENT_LIST *>(item.wParam);
            break;
        case DB_WORK_INSERT_NIBP_DATA:
            FreeRecordChain(reinterpret_cast<STU_DB_NIBP_DATA_LIST *>(item.lParam));
            break;
        case DB_WORK_INSERT_SPO2_DATA:
            FreeRecordChain(reinterpret_cast<STU_DB_SPO2_DATA_LIST *>(item.lParam));
            break;
        case DB_WORK_INSERT_TEMP_DATA:
            FreeRecordChain(reinterpret_cast<STU_DB_TEMP_DATA_LIST *>(item.lParam));
            break;
        default:
            break;
        }
        if (item.type != DB_WORK_INSERT_NEW_PATIENT)
            delete reinterpret_cast<QUuid *>(item.wParam);
    }
    qDeleteAll(finishedPatients);
}

QUuid WorkItemSink::Uuid(int index) const
{
    return *reinterpret_cast<QUuid *>(items.at(index).wParam);
}

STU_DB_PATIENT_LIST *WorkItemSink::Patient(int index) const
{
    return reinterpret_cast<STU_DB_PATIENT_LIST *>(items.at(index).wParam);
}
