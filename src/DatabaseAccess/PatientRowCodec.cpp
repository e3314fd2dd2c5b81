#include "PatientRowCodec.h"

#include "DatabaseValueCodec.h"

namespace {

const char *const kColumnNames[PatientRowCodec::ColumnCount] = {
    "PatientID",   "DeviceSN", "IdInDevice", "Name",         "Gender",        "Height",
    "Weight",      "Mobile",   "Doctor",     "IdentityType", "IdentityCode",  "SocietyCode",
    "PatientType", "Age",      "Address",    "ReadFlag",     "LastUpdateTime"};

template <typename Field> QString Text(const Field &field)
{
    return DatabaseValueCodec::TextToDb(GetRecordText(field));
}

} // namespace

QString PatientRowCodec::ColumnName(int column)
{
    return QLatin1String(kColumnNames[column]);
}

QString PatientRowCodec::Placeholder(int column)
{
    return QLatin1Char(':') + ColumnName(column);
}

QVariant PatientRowCodec::ToDb(const STU_DB_PATIENT_LIST &patient, int column)
{
    switch (column) {
    case ColPatientID:
        return DatabaseValueCodec::UuidToDb(patient.PatientID);
    case ColDeviceSN:
        return Text(patient.DeviceSN);
    case ColIdInDevice:
        return QVariant(static_cast<uint>(patient.IdInDevice));
    case ColName:
        return Text(patient.Name);
    case ColGender:
        return QVariant(static_cast<int>(patient.Gender));
    case ColHeight:
        return QVariant(patient.Height);
    case ColWeight:
        return QVariant(patient.Weight);
    case ColMobile:
        return Text(patient.Mobile);
    case ColDoctor:
        return Text(patient.Doctor);
    case ColIdentityType:
        return QVariant(static_cast<int>(patient.IdentityType));
    case ColIdentityCode:
        return Text(patient.IdentityCode);
    case ColSocietyCode:
        return Text(patient.SocietyCode);
    case ColPatientType:
        return QVariant(static_cast<int>(patient.PatientType));
    case ColAge:
        return QVariant(static_cast<int>(patient.Age));
    case ColAddress:
        return Text(patient.Address);
    case ColReadFlag:
        return QVariant(patient.ReadFlag);
    default:
        return DatabaseValueCodec::DateTimeToDb(patient.LastUpdateTime);
    }
}

void PatientRowCodec::FromDb(STU_DB_PATIENT_LIST &patient, int column, const QVariant &value)
{
    switch (column) {
    case ColPatientID:
        patient.PatientID = DatabaseValueCodec::UuidFromDb(value);
        break;
    case ColDeviceSN:
        SetRecordText(patient.DeviceSN, value.toString());
        break;
    case ColIdInDevice:
        // Other writers may have stored the pseudo-patient as -1.
        patient.IdInDevice = static_cast<quint32>(value.toLongLong());
        break;
    case ColName:
        SetRecordText(patient.Name, value.toString());
        break;
    case ColGender:
        patient.Gender = value.toInt();
        break;
    case ColHeight:
        patient.Height = value.toFloat();
        break;
    case ColWeight:
        patient.Weight = value.toFloat();
        break;
    case ColMobile:
        SetRecordText(patient.Mobile, value.toString());
        break;
    case ColDoctor:
        SetRecordText(patient.Doctor, value.toString());
        break;
    case ColIdentityType:
        patient.IdentityType = value.toInt();
        break;
    case ColIdentityCode:
        SetRecordText(patient.IdentityCode, value.toString());
        break;
    case ColSocietyCode:
        SetRecordText(patient.SocietyCode, value.toString());
        break;
    case ColPatientType:
        patient.PatientType = value.toInt();
        break;
    case ColAge:
        patient.Age = value.toInt();
        break;
    case ColAddress:
        SetRecordText(patient.Address, value.toString());
        break;
    case ColReadFlag:
        // Reads 0/1 as well as the text false/true that other writers store.
        patient.ReadFlag = value.toBool();
        break;
    default:
        patient.LastUpdateTime = DatabaseValueCodec::DateTimeFromDb(value);
        break;
    }
}
