#pragma once

#include "DatabaseRecords.h"

#include <QUuid>

class StoreConnection;

// Finding the patients that look like one patient, and merging one into
// another.
namespace PatientMerge {

// The other patients equal to the given one in every key of keyBits that he
// has a value for (MERGE_KEY_ bits), as a new chain.
uint FindCandidates(StoreConnection &connection, uint keyBits, STU_DB_PATIENT_LIST *patient,
                    STU_DB_PATIENT_LIST **result);
// In one transaction: moves the removed patient's records to the remaining
// patient (times he has already are dropped), keeps the removed UUID as the
// remaining patient's alias and deletes the removed patient.
bool Merge(StoreConnection &connection, const QUuid &remaining, const QUuid &removed);

} // namespace PatientMerge
