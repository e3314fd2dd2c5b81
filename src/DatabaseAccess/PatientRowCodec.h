#pragma once

#include "DatabaseRecords.h"

#include <QString>
#include <QVariant>

// The columns of the Patient table and how each one is written from and read
// into a patient record. "SELECT *" rows are read by position, in table order.
class PatientRowCodec
{
public:
    enum Column : int
    {
        ColPatientID,
        ColDeviceSN,
        ColIdInDevice,
        ColName,
        ColGender,
        ColHeight,
        ColWeight,
        ColMobile,
        ColDoctor,
        ColIdentityType,
        ColIdentityCode,
        ColSocietyCode,
        ColPatientType,
        ColAge,
        ColAddress,
        ColReadFlag,
        ColLastUpdateTime,
        ColumnCount
    };

    static QString ColumnName(int column);
    // ":" + the column name, as every statement names its placeholders.
    static QString Placeholder(int column);
    static QVariant ToDb(const STU_DB_PATIENT_LIST &patient, int column);
    static void FromDb(STU_DB_PATIENT_LIST &patient, int column, const QVariant &value);
};
