#include "PatientData.h"
