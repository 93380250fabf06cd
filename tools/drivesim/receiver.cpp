#include "receiver.h"

#include "ptyline.h"

#include <algorithm>

namespace drivesim {

QString Receiver::start(const QString &path, qint64 charsPerSecond, const ReceiveBuffer &buffer,
                        const Faults &faults)
{
    if (m_file.isOpen())
        m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
    m_buffer.clear();
    m_consumed = 0;
    m_limit = -1;
    m_levels = buffer;
    m_faults = faults;
    m_pacer.start(charsPerSecond);
    m_aboveHigh = false;
    m_holdUsed = false;
    m_holding = false;
    m_stopSent = false;
    return {};
}

qint64 Receiver::room() const
{
    return std::max<qint64>(m_levels.capacity - m_buffer.size(), 0);
}

bool Receiver::isHolding()
{
    if (!m_holdUsed && m_faults.holdAfter >= 0 && m_consumed >= m_faults.holdAfter) {
        m_holdUsed = true;
        m_holding = true;
        m_holdEnd = m_faults.holdMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                        : QDeadlineTimer(m_faults.holdMs);
    }
    if (m_holding && m_holdEnd.hasExpired())
        m_holding = false;
    return m_holding;
}

QString Receiver::consume(qint64 count)
{
    if (count <= 0)
        return {};
    const qint64 written = m_file.write(m_buffer.constData(), count);
    if (written != count || !m_file.flush())
        return QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
    m_buffer.remove(0, count);
    m_consumed += count;
    return {};
}

// A flow character that the pty cannot take now is tried again on the next tick.
bool Receiver::sendFlow(PtyLine &line)
{
    if (m_buffer.size() >= m_levels.xoffHigh)
        m_aboveHigh = true;
    else if (m_buffer.size() <= m_levels.xonLow)
        m_aboveHigh = false;
    // The hold is checked every time: a buffer that filled up at the hold
    // point must not keep it from starting, or the drive never consumes again.
    const bool holding = isHolding();
    const bool wantStop = m_aboveHigh || holding;
    if (wantStop == m_stopSent)
        return true;
    const char flow = wantStop ? kXoff : kXon;
    const qint64 written = line.write(&flow, 1);
    if (written == 1)
        m_stopSent = wantStop;
    return written >= 0;
}

QString Receiver::service(PtyLine &line)
{
    if (!isActive())
        return {};
    // Consume first: a drive that keeps up never reports its buffer full.
    qint64 wanted = isHolding() ? 0 : m_buffer.size();
    if (m_limit >= 0)
        wanted = std::min(wanted, m_limit - m_consumed);
    // Stop at the hold point so that XOFF goes out after exactly that many characters.
    if (!m_holdUsed && m_faults.holdAfter >= 0)
        wanted = std::min(wanted, m_faults.holdAfter - m_consumed);
    wanted = std::max<qint64>(wanted, 0);
    const qint64 due = m_pacer.due(wanted);
    if (due == 0)
        m_pacer.stall();
    m_pacer.take(due);
    const QString error = consume(due);
    if (!error.isEmpty())
        return error;
    return sendFlow(line) ? QString() : QStringLiteral("cannot send flow control");
}

QString Receiver::finish(PtyLine &line, bool keepBuffered)
{
    if (!isActive())
        return {};
    QString error = keepBuffered ? consume(m_buffer.size()) : QString();
    m_buffer.clear();
    // A pty remembers XOFF across a close and reopen; without this the next session's
    // writes would block until a program reset its flow settings.
    if (m_stopSent && line.isOpen() && line.programUsesSoftwareFlow()) {
        const char xon = kXon;
        if (line.write(&xon, 1) == 1)
            m_stopSent = false;
    }
    m_file.close();
    return error;
}

} // namespace drivesim
