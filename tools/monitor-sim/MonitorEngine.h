#pragma once

#include "MonitorFaultPlan.h"
#include "MonitorFrame.h"
#include "MonitorPatientSet.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <functional>
#include <random>

// The monitor's side of the protocol, free of any I/O: request bytes go in,
// the answer bytes come out as the writes the line should make.
class MonitorEngine
{
public:
    explicit MonitorEngine(MonitorPatientSet patients, MonitorFaultPlan faults = {});

    void Receive(const QByteArray &bytes);
    // Called with one line for every request handled.
    void SetTrace(std::function<void(const QString &)> trace) { m_trace = std::move(trace); }

    // The writes to make, in order; each element is one write to the line.
    QVector<QByteArray> TakeWrites();
    bool HangUpRequested() const { return m_hangUp; }

    int RequestCount() const { return m_requestCount; }
    // Every well-formed request so far: command and patient id (0 for none).
    struct HandledRequest
    {
        std::uint16_t cmd;
        int patientId;
    };
    const QVector<HandledRequest> &Requests() const { return m_requests; }
    int BadRequestCount() const { return m_badRequestCount; }
    const MonitorPatientSet &Patients() const { return m_patients; }

    // The packages of the normal answer to a request (for tests and tools).
    QVector<QByteArray> AnswerPackages(std::uint16_t cmd, int patientId) const;
    static int PatientIdFromSelector(const QByteArray &selector);

private:
    void Answer(const MonitorFrame::Request &request);
    QVector<QByteArray> FaultyAnswer(MonitorFault fault, std::uint16_t cmd, int patientId) const;
    void Deliver(const QVector<QByteArray> &packages);
    QByteArray Noise();

    QByteArray TextPayload(const QString &text, int maxLength) const;
    QByteArray ListPayload() const;
    QByteArray UuidPayload(int patientId) const;
    QVector<QByteArray> RecordPackages(std::uint16_t cmd, int patientId) const;

    MonitorPatientSet m_patients;
    MonitorFaultPlan m_faults;
    QByteArray m_input;
    QVector<QByteArray> m_writes;
    bool m_hangUp = false;
    int m_requestCount = 0;
    int m_badRequestCount = 0;
    QVector<HandledRequest> m_requests;
    // An answer kept back by a fault until its request is repeated: a slow
    // monitor whose answer crosses the repeat on the line.
    QVector<QByteArray> m_held;
    HandledRequest m_heldFor{0, 0};
    std::mt19937 m_noiseRandom{7};
    std::function<void(const QString &)> m_trace;
};
