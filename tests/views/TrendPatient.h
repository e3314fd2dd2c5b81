#pragma once

#include "TestRecords.h"

#include <memory>
#include <vector>

// A patient's three record chains, handed to the process-wide PatientData the
// way the database service does: the detail record first, then the lists.
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
        PatientData *pData = PatientData::GetInstance();
        pData->SetCurrentPatientAndNotify(NewPatient(QString(), uuid));
        AnswerLists(*pData, uuid,
                    ChainOf<STU_DB_NIBP_DATA_LIST>(nibp,
                                                   [](auto &r, const Nibp &n) {
                                                       r = {0,      n.time, n.sys,  n.dia,
                                                            n.mean, n.pr,   nullptr};
                                                   }),
                    ChainOf<STU_DB_SPO2_DATA_LIST>(spo2,
                                                   [](auto &r, const Spo2 &s) {
                                                       r = {0, s.time, s.spo2, s.pr, nullptr};
                                                   }),
                    ChainOf<STU_DB_TEMP_DATA_LIST>(temp, [](auto &r, const Temp &t) {
                        r = {0, t.time, t.temp, nullptr};
                    }));
        return uuid;
    }
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
