#include "transfer/systemclock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

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
    if (ready())
        return;
    QEventLoop loop;
    QTimer deadline;
    // A coarse timer may end the wait early, and a silence measured too short
    // would only be waited for again.
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (msecs >= 0)
        deadline.start(msecs);
    // The dispatcher wakes for every event and is about to sleep again once
    // each has been handled: the moments to look whether one ended the wait.
    const auto look = [&] {
        if (ready())
            loop.quit();
    };
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, look);
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &loop, look);
    }
    loop.exec();
    m_lastEventsNs = m_started.nsecsElapsed();
}
