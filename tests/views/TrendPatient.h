#pragma once

#include "TestRecords.h"

#include <memory>
#include <tuple>
#include <vector>

// A patient's record chains, handed to PatientData as the database service does.
struct TrendPatient
{
    using Nibp = std::tuple<QDateTime, quint16, quint16, quint16, quint16>; // sys, dia, mean, pr
    using Spo2 = std::tuple<QDateTime, quint16, quint16>;                   // spo2, pr
    using Temp = std::tuple<QDateTime, float>;
    std::vector<Nibp> nibp;
    std::vector<Spo2> spo2;
    std::vector<Temp> temp;

    // Makes a patient current (a fresh one unless told) and delivers its chains.
    QUuid Deliver(const QUuid &uuid = QUuid::createUuid()) const
    {
        PatientData *pData = PatientData::GetInstance();
        pData->SetCurrentPatientAndNotify(NewPatient(QString(), uuid));
        AnswerLists(*pData, uuid, Chain<STU_DB_NIBP_DATA_LIST>(nibp),
                    Chain<STU_DB_SPO2_DATA_LIST>(spo2), Chain<STU_DB_TEMP_DATA_LIST>(temp));
        return uuid;
    }

    // Each item's values fill the record's fields between its ID and its link.
    template <typename Record, typename Item> static Record *Chain(const std::vector<Item> &items)
    {
        return ChainOf<Record>(items, [](Record &r, const Item &item) {
            std::apply([&r](const auto &...values) { r = {0, values..., nullptr}; }, item);
        });
    }
};

// A patient with iRecords of each kind from first, iStepSeconds apart, values
// cycling through plausible ranges (the benchmarks' and pictures' patient).
inline TrendPatient RegularPatient(const QDateTime &first, int iRecords, qint64 iStepSeconds)
{
    TrendPatient patient;
    patient.nibp.reserve(size_t(iRecords));
    patient.spo2.reserve(size_t(iRecords));
    patient.temp.reserve(size_t(iRecords));
    for (int i = 0; i < iRecords; ++i) {
        const QDateTime time = first.addSecs(i * iStepSeconds);
        patient.nibp.push_back({time, quint16(120 + i % 20), quint16(80 + i % 40),
                                quint16(93 + i % 30), quint16(75 + i % 10)});
        patient.spo2.push_back({time, quint16(95 + i % 5), quint16(100 - i % 40)});
        patient.temp.push_back({time, float(37.0 + 0.1 * (i % 40))});
    }
    return patient;
}

// A local time written as "2022-03-02 09:30[:05]".
inline QDateTime At(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODate);
}

// Wires a trend view to the model as the main window does.
template <typename View> std::unique_ptr<View> ConnectedView()
{
    auto view = std::make_unique<View>();
    using P = PatientData;
    P *p = P::GetInstance();
    QObject::connect(p, &P::OnPatientNIBPDataChanged, view.get(), &View::OnPatientNIBPDataChanged);
    QObject::connect(p, &P::OnPatientSPO2DataChanged, view.get(), &View::OnPatientSPO2DataChanged);
    QObject::connect(p, &P::OnPatientTEMPDataChanged, view.get(), &View::OnPatientTEMPDataChanged);
    QObject::connect(p, &P::OnClearPatientData, view.get(), &View::OnClearPatientData);
    return view;
}
