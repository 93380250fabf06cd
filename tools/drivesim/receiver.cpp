#include "receiver.h"

#include "ptyline.h"

#include <algorithm>

namespace drivesim {

namespace {
// As much as one read of the pty gives.
constexpr qint64 kTakeAll = 64 * 1024;
} // namespace

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
    m_watching = false;
    m_sinceXoff = 0;
    m_overrun = 0;
    return {};
}

qint64 Receiver::room() const
{
    // Under XOFF the drive empties the line, so that a PC that goes on sending is not
    // held back by the pty's own buffer, as a wire would not hold it back.
    if (m_stopSent)
        return kTakeAll;
    return std::max<qint64>(m_levels.capacity - m_buffer.size(), 0);
}

void Receiver::accept(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    if (m_stopSent && m_watching && !m_programStopped)
        m_sinceXoff += bytes.size();
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
    if (written == 1) {
        m_stopSent = wantStop;
        if (wantStop)
            watchForOverrun(line);
    }
    return written >= 0;
}

void Receiver::watchForOverrun(const PtyLine &line)
{
    settleOverrun();
    m_watching = true;
    m_stopsAtXoff = line.programStops();
    // A PC already stopped sends nothing more.
    m_programStopped = line.programStopped();
    m_sinceXoff = 0;
}

// Once the PC's end has stopped, what came after the XOFF was on its way before the stop.
void Receiver::noteProgramStop(const PtyLine &line)
{
    if (!m_watching || m_programStopped)
        return;
    if (line.programStopped() || line.programStops() != m_stopsAtXoff) {
        m_programStopped = true;
        m_sinceXoff = 0;
    }
}

void Receiver::settleOverrun()
{
    if (m_watching && !m_programStopped)
        m_overrun += std::max<qint64>(m_sinceXoff - kCharsInFlight, 0);
    m_watching = false;
    m_sinceXoff = 0;
}

QString Receiver::service(PtyLine &line)
{
    if (!isActive())
        return {};
    noteProgramStop(line);
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
    noteProgramStop(line);
    settleOverrun();
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
