#pragma once

#include "CommunicationProcessControl.h"
#include "MonitorEngine.h"
#include "MonitorLink.h"
#include "TestEnvironment.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

// The real import pipeline and SQLite file in a temporary folder, with the
// simulated monitor on the master side of a pseudo-terminal.
class ImportTestRig : public QObject
{
public:
    static constexpr int WAIT_MS = 30000;

    // withScan: the scan thread finds the simulator through VANTREL_MONITOR_PORT.
    explicit ImportTestRig(bool withScan = false, bool outLog = true);
    ~ImportTestRig() override;

    TestEnvironment &Env() { return *m_env; }
    CommunicationProcessControl &Control() { return *m_control; }
    MonitorLink &Link() { return *m_link; }
    // The engine; read it only after Link().Stop() or a hang-up.
    MonitorEngine &Engine() { return *m_engine; }

    // A new simulated monitor on a new pseudo-terminal, reported as plugged in.
    bool Plug(const MonitorPatientSet &patients, const MonitorFaultPlan &faults = {},
              MonitorLink::Pacing pacing = {});
    // Imports and waits for the database to catch up; false if the run stalled.
    bool Import();
    // Returns once every work item posted so far has run.
    bool FlushDatabase();

    int waitMs = WAIT_MS; // limit of every wait
    // Runs with the new port's path before the monitor is reported plugged in.
    std::function<void(const QString &)> beforePlugIn;
    int importFinishedCount = 0;
    int stalledCount = 0;
    int patientsFinished = 0; // from the service and from the controller

    // Each patient of the set with a UUID, and no other of its monitor, is stored once
    // with exactly its records (those in partial may lack some); a mismatch is told
    // in why, else as a warning.
    bool StoredExactly(const MonitorPatientSet &patients, const QSet<int> &partial = {},
                       QString *why = nullptr) const;
    // A statement on its own connection to the file: rows as "a|b|...", or why not.
    QStringList Rows(const QString &sql, const QString &serialNumber = QString()) const;

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<CommunicationProcessControl> m_control;
    std::unique_ptr<MonitorEngine> m_engine;
    std::unique_ptr<MonitorLink> m_link;
    bool m_withScan = false;
    int m_briefAnswers = 0;
};
