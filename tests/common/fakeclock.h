#pragma once

#include "transfer/transferview.h"

#include <QtGlobal>

#include <functional>

// Time that passes only when the loop waits, a step at a time, and an event
// pump that runs whatever a test wants to happen "in a window handler".
// Every step of a wait is a moment at which an event may come.
class FakeClock : public TransferClock
{
public:
    double now = 0.0;
    double step = 0.001;
    QDateTime wall = QDateTime(QDate(2026, 12, 7), QTime(13, 2, 3));
    int pumps = 0;
    // Runs inside every pump and every step of a wait, with its number (from 1).
    std::function<void(int pump)> onPump;

    double seconds() override { return now; }
    QDateTime wallClock() override { return wall; }
    void pumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump(pumps);
    }
    void waitForEvents(int msecs, const std::function<bool()> &ready) override
    {
        // A wait without end that nothing ends would hang the test.
        constexpr double kLongest = 3600;
        const double end = now + (msecs < 0 ? kLongest : msecs / 1000.0);
        while (!ready()) {
            if (now >= end) {
                if (msecs < 0)
                    qFatal("a wait without end was not ended in an hour of test time");
                return;
            }
            now = std::min(end, now + step);
            pumpEvents();
        }
    }
};
