#pragma once

#include "transfer/transferview.h"

#include <QElapsedTimer>
#include <QTimer>

// The program's time and event loop: a monotonic clock, so that a pause
// spanning midnight still ends, and the application's own event queue.
//
// Every wait of the loop is spent in the event loop, asleep until an event
// comes: a window event, characters on the line, the device taking output,
// or the wait's own timer. Each is handled the moment it comes, and the
// loop looks again at what it waits for.
class SystemTransferClock : public TransferClock
{
public:
    SystemTransferClock() { m_started.start(); }

    double seconds() override;
    void pumpEvents() override;
    void waitForEvents(int msecs, const std::function<bool()> &ready) override;

    // The send loop asks for a pump after every character, far more often
    // than events can come; between its waits it is busy for no longer than
    // this, so a pump that follows the last look at events more closely
    // returns at once.
    static constexpr qint64 kBusyPumpNs = 5 * 1000 * 1000;

private:
    QElapsedTimer m_started;
    qint64 m_lastEventsNs = 0;
    QTimer m_timeUp; // ends a wait with a time limit
};
