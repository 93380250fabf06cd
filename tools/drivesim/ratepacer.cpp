#include "ratepacer.h"

#include <algorithm>

namespace drivesim {

namespace {
constexpr qint64 kMicrosecondsPerSecond = 1000 * 1000;
}

void RatePacer::start(qint64 charsPerSecond)
{
    m_rate = std::max<qint64>(charsPerSecond, 0);
    m_taken = 0;
    m_clock.start();
}

qint64 RatePacer::dueSinceStart() const
{
    const qint64 elapsed = m_clock.isValid() ? m_clock.nsecsElapsed() / 1000 : 0;
    return elapsed * m_rate / kMicrosecondsPerSecond;
}

qint64 RatePacer::due(qint64 wanted) const
{
    if (!isPaced())
        return wanted;
    return std::clamp<qint64>(dueSinceStart() - m_taken, 0, wanted);
}

void RatePacer::stall()
{
    if (!isPaced())
        return;
    m_taken = std::max(m_taken, dueSinceStart() - kMaxCredit);
}

} // namespace drivesim
