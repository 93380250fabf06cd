#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace drivesim {

// Lets characters through at a fixed rate, the way a UART clocks them: ask how many are due
// at each timer tick and take what was actually handled. Credit that built up while nothing
// could be sent is capped, so a stall is never followed by a burst faster than the line.
class RatePacer
{
public:
    // Characters per second; 0 lets everything through at once.
    void start(qint64 charsPerSecond);
    bool isPaced() const { return m_rate > 0; }

    // Characters allowed now, at most `wanted`.
    qint64 due(qint64 wanted) const;
    void take(qint64 count) { m_taken += count; }
    // Call when nothing could be sent (empty buffer, flow stopped, pty full).
    void stall();

private:
    qint64 dueSinceStart() const;

    // A tick may come a little late; one character of slack keeps the average exact without
    // allowing bursts.
    static constexpr qint64 kMaxCredit = 1;

    qint64 m_rate = 0;
    qint64 m_taken = 0;
    QElapsedTimer m_clock;
};

} // namespace drivesim
