#pragma once

#include "transfer/transferview.h"

#include <QElapsedTimer>

// The program's time and event pump: a monotonic clock, so that a pause
// spanning midnight still ends, and the application's own event queue.
//
// The loop pumps after every character it sends and every block it receives,
// far more often than window events can arrive: a pump within
// kPumpIntervalNs of the last one returns at once. Each pump that runs costs
// a look at every queue the window system keeps; a click still waits no more
// than this, which a user sees as at once, and the line's own speed, not the
// event queue's, sets the loop's pace.
class SystemTransferClock : public TransferClock
{
public:
    SystemTransferClock() { m_started.start(); }

    double seconds() override;
    void pumpEvents() override;
    void waitForEvents(int msecs) override;

    static constexpr qint64 kPumpIntervalNs = 100 * 1000 * 1000;

private:
    QElapsedTimer m_started;
    qint64 m_lastPumpNs = -kPumpIntervalNs;
};
