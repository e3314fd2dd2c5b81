#pragma once

#include "DatabaseRecords.h"
#include "PatientData.h"

#include <QDateTime>
#include <QUuid>

#include <memory>
#include <vector>

// Builds a patient's three record chains and hands them to the process-wide
// PatientData the way the database service does: the detail record first,
// then the NIBP, SpO2 and temperature answers in that order.
class TrendPatient
{
public:
    struct Nibp
    {
        QDateTime time;
        quint16 sys, dia, mean, pr;
    };
    struct Spo2
    {
        QDateTime time;
        quint16 spo2, pr;
    };
    struct Temp
    {
        QDateTime time;
        float temp;
    };

    std::vector<Nibp> nibp;
    std::vector<Spo2> spo2;
    std::vector<Temp> temp;

    // Makes a fresh patient current and delivers its three chains.
    QUuid Deliver() const
    {
        const QUuid uuid = QUuid::createUuid();
        auto *pPatient = new STU_DB_PATIENT_LIST;
        pPatient->PatientID = uuid;
        PatientData *pData = PatientData::GetInstance();
        pData->SetCurrentPatientAndNotify(pPatient);
        pData->OnDatabaseGetNIBPDataListSucc(new QUuid(uuid), Chain<STU_DB_NIBP_DATA_LIST>(nibp));
        pData->OnDatabaseGetSPO2DataListSucc(new QUuid(uuid), Chain<STU_DB_SPO2_DATA_LIST>(spo2));
        pData->OnDatabaseGetTEMPDataListSucc(new QUuid(uuid), Chain<STU_DB_TEMP_DATA_LIST>(temp));
        return uuid;
    }

private:
    // Built from the back so the chain keeps the items' order.
    template <typename Record, typename Item> static Record *Chain(const std::vector<Item> &items)
    {
        Record *pHead = nullptr;
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            auto *pNode = new Record;
            pNode->MeasureTime = it->time;
            Fill(*pNode, *it);
            pNode->pNext = pHead;
            pHead = pNode;
        }
        return pHead;
    }
    static void Fill(STU_DB_NIBP_DATA_LIST &r, const Nibp &n)
    {
        r.SysValue = n.sys;
        r.DiaValue = n.dia;
        r.MeanValue = n.mean;
        r.PrValue = n.pr;
    }
    static void Fill(STU_DB_SPO2_DATA_LIST &r, const Spo2 &s)
    {
        r.SPO2Value = s.spo2;
        r.PrValue = s.pr;
    }
    static void Fill(STU_DB_TEMP_DATA_LIST &r, const Temp &t) { r.TempValue = t.temp; }
};

inline QDateTime At(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// Wires a trend view to the model as the main window does.
template <typename View> std::unique_ptr<View> ConnectedView()
{
    auto view = std::make_unique<View>();
    PatientData *pData = PatientData::GetInstance();
    QObject::connect(pData, &PatientData::OnPatientNIBPDataChanged, view.get(),
                     &View::OnPatientNIBPDataChanged);
    QObject::connect(pData, &PatientData::OnPatientSPO2DataChanged, view.get(),
                     &View::OnPatientSPO2DataChanged);
    QObject::connect(pData, &PatientData::OnPatientTEMPDataChanged, view.get(),
                     &View::OnPatientTEMPDataChanged);
    QObject::connect(pData, &PatientData::OnClearPatientData, view.get(),
                     &View::OnClearPatientData);
    return view;
}
