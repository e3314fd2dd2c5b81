#pragma once

#include "DatabaseRecords.h"
#include "PatientData.h"

#include <QDateTime>
#include <QUuid>

#include <iterator>

// Records as the database service hands them over, for the tests that play the service.

// A patient with the given key and name and nothing else filled in.
inline STU_DB_PATIENT_LIST *NewPatient(const QString &name = QString(),
                                       const QUuid &id = QUuid::createUuid())
{
    auto *patient = new STU_DB_PATIENT_LIST;
    patient->PatientID = id;
    SetRecordText(patient->Name, name);
    return patient;
}

// A chain of the items in their order, each node filled by fill(node, item).
template <typename Record, typename Items, typename Fill>
Record *ChainOf(const Items &items, Fill fill)
{
    Record *head = nullptr;
    for (auto it = std::rbegin(items); it != std::rend(items); ++it) {
        auto *node = new Record;
        fill(*node, *it);
        node->pNext = head;
        head = node;
    }
    return head;
}

// count records measured ten minutes apart from 08:00 on 6 January 2020.
template <typename Record> Record *NewChain(int count)
{
    QList<QDateTime> times;
    for (int i = 0; i < count; ++i)
        times << QDateTime(QDate(2020, 1, 6), QTime(8, 0)).addSecs(600 * i);
    return ChainOf<Record>(times,
                           [](Record &node, const QDateTime &time) { node.MeasureTime = time; });
}

// The patient's three list answers, in the order the service sends them.
inline void AnswerLists(PatientData &model, const QUuid &id, STU_DB_NIBP_DATA_LIST *nibp,
                        STU_DB_SPO2_DATA_LIST *spo2, STU_DB_TEMP_DATA_LIST *temp)
{
    model.OnDatabaseGetNIBPDataListSucc(new QUuid(id), nibp);
    model.OnDatabaseGetSPO2DataListSucc(new QUuid(id), spo2);
    model.OnDatabaseGetTEMPDataListSucc(new QUuid(id), temp);
}
