#include "MergeKeys.h"

#include <utility>

uint MergeKeysWithValues(uint keyBits, const STU_DB_PATIENT_LIST &patient)
{
    const std::pair<uint, bool> empty[] = {
        {MERGE_KEY_DEVICE_SN, patient.DeviceSN[0] == u'\0'},
        {MERGE_KEY_NAME, patient.Name[0] == u'\0'},
        {MERGE_KEY_GENDER, patient.Gender == 0},
        {MERGE_KEY_HEIGHT, patient.Height == 0.0f},
        {MERGE_KEY_WEIGHT, patient.Weight == 0.0f},
        {MERGE_KEY_MOBILE, patient.Mobile[0] == u'\0'},
        {MERGE_KEY_DOCTOR, patient.Doctor[0] == u'\0'},
        {MERGE_KEY_IDENTITY_TYPE, patient.IdentityType == 0},
        {MERGE_KEY_IDENTITY_CODE, patient.IdentityCode[0] == u'\0'},
        {MERGE_KEY_SOCIETY_CODE, patient.SocietyCode[0] == u'\0'},
        {MERGE_KEY_PATIENT_TYPE, patient.PatientType == 0},
        {MERGE_KEY_AGE, patient.Age == 0},
        {MERGE_KEY_ADDRESS, patient.Address[0] == u'\0'}};
    for (const auto &[bit, bEmpty] : empty) {
        if (bEmpty)
            keyBits &= ~bit;
    }
    return keyBits;
}
