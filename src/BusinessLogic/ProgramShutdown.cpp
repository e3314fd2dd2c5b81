#include "ProgramShutdown.h"

#include "CommunicationProcessControl.h"
#include "MDatabaseService.h"
#include "MLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSemaphore>
#include <QThread>

#include <memory>

namespace {

// A work item that is running when the drain gives up may still need the
// store's busy time-out to end.
constexpr int kThreadStopLimitMs = 10000;
constexpr int kPollStepMs = 20;

} // namespace

void ProgramShutdown::Run(int iDrainLimitMs)
{
    static bool s_bDone = false;
    if (std::exchange(s_bDone, true))
        return;
    CommunicationProcessControl::DestroyInstance();
    MDatabaseService *service = MDatabaseService::GetInstance();
    if (FinishDatabaseWork(service, iDrainLimitMs) || !service->thread()->isRunning())
        delete service; // closes the database
}

bool ProgramShutdown::FinishDatabaseWork(MDatabaseService *service, int iDrainLimitMs)
{
    QThread *thread = service->thread();
    if (thread == QThread::currentThread() || !thread->isRunning())
        return true; // never started: nothing is queued behind
    // Work items run in posting order, so this one runs after all queued so far.
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        service, [done] { done->release(); }, Qt::QueuedConnection);
    const QDeadlineTimer deadline(iDrainLimitMs);
    bool drained = false;
    while (!(drained = done->tryAcquire(1, kPollStepMs)) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!drained)
        MLOG(QStringLiteral("Gave up waiting for the database after %1 ms; queued work items are "
                            "not stored.")
                 .arg(iDrainLimitMs));
    thread->quit();
    if (!thread->wait(drained ? QDeadlineTimer(QDeadlineTimer::Forever)
                              : QDeadlineTimer(kThreadStopLimitMs)))
        MLOG("The database thread did not stop; the database is left open.");
    return drained;
}
