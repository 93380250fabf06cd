#pragma once

#include "transfer/transferview.h"

#include <QElapsedTimer>

// The program's time and event pump: a monotonic clock, so that a pause
// spanning midnight still ends, and the application's own event queue.
class SystemTransferClock : public TransferClock
{
public:
    SystemTransferClock() { m_started.start(); }

    double seconds() override;
    void pumpEvents() override;
    void waitForEvents(int msecs) override;

private:
    QElapsedTimer m_started;
};
