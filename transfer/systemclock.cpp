#include "transfer/systemclock.h"

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
    const qint64 now = m_started.nsecsElapsed();
    if (now - m_lastPumpNs < kPumpIntervalNs)
        return;
    QCoreApplication::processEvents();
    m_lastPumpNs = m_started.nsecsElapsed();
}

void SystemTransferClock::waitForEvents(int msecs)
{
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
}
