#pragma once

#include "transfer/transferview.h"

#include <functional>

// Time that passes only when something waits, and an event pump that runs
// whatever a test wants to happen "in a window handler".
class FakeClock : public TransferClock
{
public:
    double now = 0.0;
    QDateTime wall = QDateTime(QDate(2026, 12, 7), QTime(13, 2, 3));
    int pumps = 0;
    // Runs inside every pump, with the pump's number (from 1).
    std::function<void(int pump)> onPump;

    double seconds() override { return now; }
    QDateTime wallClock() override { return wall; }
    void pumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void waitForEvents(int msecs) override
    {
        now += msecs / 1000.0;
        pumpEvents();
    }
};
