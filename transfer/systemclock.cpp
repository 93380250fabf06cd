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
    QCoreApplication::processEvents();
}

void SystemTransferClock::waitForEvents(int msecs)
{
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    loop.exec();
}
