#pragma once

#include "DatabaseRecords.h"

// The merge key bits of keyBits for which the patient has a value. An empty
// text, a choice left blank (0) and a measure or age not given (0) are no
// value: every imported patient has an empty name, for one, since the monitor
// sends none, and an empty key would make him a look-alike of all the others.
// The device ID is always a value.
uint MergeKeysWithValues(uint keyBits, const STU_DB_PATIENT_LIST &patient);
