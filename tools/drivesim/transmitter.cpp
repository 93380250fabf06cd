#include "transmitter.h"

#include "ptyline.h"

#include <algorithm>

namespace drivesim {

void Transmitter::start(const QByteArray &payload, qint64 charsPerSecond, const Faults &faults)
{
    m_payload = payload;
    m_sent = 0;
    m_active = true;
    m_faults = faults;
    m_silenceUsed = false;
    m_silent = false;
    m_pacer.start(charsPerSecond);
}

void Transmitter::handleIncoming(const QByteArray &bytes)
{
    // Only the last flow character counts: XOFF then XON in one read means "go on".
    for (const char c : bytes) {
        if (c == kXoff)
            m_stoppedByPc = true;
        else if (c == kXon)
            m_stoppedByPc = false;
    }
}

bool Transmitter::isSilent()
{
    if (!m_silenceUsed && m_faults.silenceAfter >= 0 && m_sent >= m_faults.silenceAfter) {
        m_silenceUsed = true;
        m_silent = true;
        m_silenceEnd = m_faults.silenceMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                              : QDeadlineTimer(m_faults.silenceMs);
    }
    if (m_silent && m_silenceEnd.hasExpired())
        m_silent = false;
    return m_silent;
}

qint64 Transmitter::sendableNow() const
{
    qint64 end = m_payload.size();
    if (!m_silenceUsed && m_faults.silenceAfter >= 0)
        end = std::min(end, m_faults.silenceAfter);
    if (m_limit >= 0)
        end = std::min(end, m_limit);
    return std::max<qint64>(end - m_sent, 0);
}

bool Transmitter::service(PtyLine &line)
{
    if (!m_active || m_sent == m_payload.size())
        return true;
    if (m_stoppedByPc || isSilent()) {
        m_pacer.stall();
        return true;
    }
    const qint64 due = m_pacer.due(sendableNow());
    if (due == 0) {
        if (sendableNow() == 0)
            m_pacer.stall();
        return true;
    }
    const qint64 written = line.write(m_payload.constData() + m_sent, due);
    if (written < 0)
        return false;
    m_pacer.take(written);
    m_sent += written;
    if (written < due)
        m_pacer.stall();
    return true;
}

} // namespace drivesim
