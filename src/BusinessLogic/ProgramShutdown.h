#pragma once

class MDatabaseService;

// How the program ends once its window closes: the device link stops first,
// so that no new import work comes in; then the database service finishes the
// work items already queued (at most drainLimitMs; giving up is logged), its
// thread stops and the database closes, so that no journal is left behind.
class ProgramShutdown
{
public:
    static constexpr int kDrainLimitMs = 30000;

    // Runs once in the life of the process; later calls return at once.
    static void Run(int iDrainLimitMs = kDrainLimitMs);

    // Waits until every work item queued on the service so far has run (events
    // of this thread keep being handled meanwhile), then stops and joins the
    // service's thread. False when it gave up waiting.
    static bool FinishDatabaseWork(MDatabaseService *service, int iDrainLimitMs);
};
