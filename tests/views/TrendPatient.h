#pragma once

#include "DatabaseRecords.h"
#include "PatientData.h"

#include <QDateTime>
#include <QUuid>

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
        pData->OnDatabaseGetNIBPDataListSucc(new QUuid(uuid), NibpChain());
        pData->OnDatabaseGetSPO2DataListSucc(new QUuid(uuid), Spo2Chain());
        pData->OnDatabaseGetTEMPDataListSucc(new QUuid(uuid), TempChain());
        return uuid;
    }

    static QDateTime At(int y, int mo, int d, int h, int mi, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    }

private:
    template <typename Record, typename Item, typename Fill>
    static Record *Chain(const std::vector<Item> &items, Fill fill)
    {
        Record *pHead = nullptr;
        Record **ppTail = &pHead;
        for (const Item &item : items) {
            auto *pNode = new Record;
            pNode->MeasureTime = item.time;
            fill(*pNode, item);
            *ppTail = pNode;
            ppTail = &pNode->pNext;
        }
        return pHead;
    }

    STU_DB_NIBP_DATA_LIST *NibpChain() const
    {
        return Chain<STU_DB_NIBP_DATA_LIST>(nibp, [](STU_DB_NIBP_DATA_LIST &r, const Nibp &n) {
            r.SysValue = n.sys;
            r.DiaValue = n.dia;
            r.MeanValue = n.mean;
            r.PrValue = n.pr;
        });
    }
    STU_DB_SPO2_DATA_LIST *Spo2Chain() const
    {
        return Chain<STU_DB_SPO2_DATA_LIST>(spo2, [](STU_DB_SPO2_DATA_LIST &r, const Spo2 &s) {
            r.SPO2Value = s.spo2;
            r.PrValue = s.pr;
        });
    }
    STU_DB_TEMP_DATA_LIST *TempChain() const
    {
        return Chain<STU_DB_TEMP_DATA_LIST>(
            temp, [](STU_DB_TEMP_DATA_LIST &r, const Temp &t) { r.TempValue = t.temp; });
    }
};
