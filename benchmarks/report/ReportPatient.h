#pragma once

#include "TrendGrapView.h"
#include "TrendPatient.h"

// A patient shaped like the demo data, one record of each kind every
// iStepSeconds, made current with his details filled in; trend, wired to the
// model as the main window wires it, shows his first day.
inline void DeliverReportPatient(TrendGrapView &trend, int iRecords, int iStepSeconds)
{
    QObject::connect(PatientData::GetInstance(), &PatientData::OnPatientTEMPDataChanged, &trend,
                     &TrendGrapView::OnPatientTEMPDataChanged, Qt::UniqueConnection);
    const QUuid id =
        RegularPatient(QDateTime(QDate(2026, 11, 24), QTime(10, 17, 0)), iRecords, iStepSeconds)
            .Deliver();
    STU_DB_PATIENT_LIST *p = NewPatient(QStringLiteral("Maria Jensen"), id);
    SetRecordText(p->DeviceSN, QStringLiteral("VM20410017"));
    p->IdInDevice = 3;
    p->Gender = 2;
    p->Height = 164;
    p->Weight = 61.5f;
    p->Age = 58;
    p->PatientType = 1;
    p->IdentityType = 1;
    SetRecordText(p->IdentityCode, QStringLiteral("580312-4471"));
    SetRecordText(p->Doctor, QStringLiteral("Dr. Hallberg"));
    SetRecordText(p->Mobile, QStringLiteral("0151 234 5678"));
    SetRecordText(p->Address, QStringLiteral("Birch Road 14, 2200 Northfield"));
    PatientData::GetInstance()->SetCurrentPatient(p);
}
