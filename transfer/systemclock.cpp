#include "transfer/systemclock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {
constexpr double kNanosecondsPerSecond = 1e9;
}

double SystemTransferClock::seconds()
{
    return static_cast<double>(m_started.nsecsElapsed()) / kNanosecondsPerSecond;
}

void SystemTransferClock::pumpEvents()
{
    if (m_started.nsecsElapsed() - m_lastEventsNs < kBusyPumpNs)
        return;
    QCoreApplication::processEvents();
    m_lastEventsNs = m_started.nsecsElapsed();
}

void SystemTransferClock::waitForEvents(int msecs, const std::function<bool()> &ready)
{
    const QDeadlineTimer deadline(msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                            : QDeadlineTimer(msecs, Qt::PreciseTimer));
    // Its event wakes the dispatcher when the time is up; a coarse timer
    // could end the wait early, and a silence measured too short would only
    // be waited for again.
    m_timeUp.setTimerType(Qt::PreciseTimer);
    m_timeUp.setSingleShot(true);
    // Each round sleeps until at least one event has come, handles every
    // event that has, and returns: the moment to look whether one of them
    // ended the wait. Windows' dispatcher only learns of posted events (the
    // timer's own, and the port's) in one round and hands them over at the
    // start of the next, after which it sleeps all the same: they are handed
    // over here, before the look.
    for (;;) {
        QCoreApplication::sendPostedEvents();
        if (ready() || deadline.hasExpired())
            break;
        // The timer counts whole milliseconds and may come a fraction early.
        if (!deadline.isForever() && !m_timeUp.isActive())
            m_timeUp.start(std::max<qint64>(1, deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    m_timeUp.stop();
    m_lastEventsNs = m_started.nsecsElapsed();
}
