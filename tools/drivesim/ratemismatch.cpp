#include "ratemismatch.h"

#include "drivesettings.h"

#include <numeric>

namespace drivesim {

void RateMismatch::start(int senderBaud, int receiverBaud)
{
    stop();
    const qint64 common = std::gcd(senderBaud, receiverBaud);
    m_senderBit = 2 * receiverBaud / common;
    m_receiverBit = 2 * senderBaud / common;
    m_halfReceiverBit = senderBaud / common;
}

// Bit n of the sent stream: each character is a low start bit, eight data bits from the
// lowest, and a high stop bit; before the first the line is idle (high).
RateMismatch::Level RateMismatch::level(qint64 bit, bool idleAfter) const
{
    if (bit < 0)
        return High;
    const qint64 index = bit / kBitsPerChar;
    if (index >= m_pending.size())
        return idleAfter ? High : NotYetSent;
    const int position = static_cast<int>(bit % kBitsPerChar);
    if (position == 0)
        return Low;
    if (position == kBitsPerChar - 1)
        return High;
    const auto byte = static_cast<unsigned char>(m_pending.at(index));
    return (byte >> (position - 1)) & 1 ? High : Low;
}

bool RateMismatch::readOne(bool idleAfter, char &c)
{
    for (;;) {
        // The next falling edge at or after the cursor; edges lie on the sender's bit bounds.
        qint64 edge = (m_cursor + m_senderBit - 1) / m_senderBit;
        for (;; ++edge) {
            const Level now = level(edge, idleAfter);
            if (now == NotYetSent || (idleAfter && edge / kBitsPerChar >= m_pending.size()))
                return false;
            if (now == Low && level(edge - 1, idleAfter) == High)
                break;
        }
        const qint64 start = edge * m_senderBit + m_halfReceiverBit;
        int bits = 0;
        for (int k = 0; k < kBitsPerChar - 1; ++k) {
            const Level sample = level((start + k * m_receiverBit) / m_senderBit, idleAfter);
            if (sample == NotYetSent)
                return false;
            bits |= (sample == High ? 1 : 0) << k;
        }
        const qint64 stopSample = start + (kBitsPerChar - 1) * m_receiverBit;
        if (level(stopSample / m_senderBit, idleAfter) == NotYetSent)
            return false;
        if (bits & 1) {
            // The line was high again by the middle of the start bit: a glitch, not a start.
            m_cursor = start;
            continue;
        }
        c = static_cast<char>(bits >> 1);
        m_cursor = stopSample;
        return true;
    }
}

// Characters wholly before the cursor, but the last, whose stop bit marks the next edge.
void RateMismatch::dropPassed()
{
    const qint64 passed = m_cursor / (kBitsPerChar * m_senderBit) - 1;
    if (passed <= 0)
        return;
    m_pending.remove(0, passed);
    m_cursor -= passed * kBitsPerChar * m_senderBit;
}

QByteArray RateMismatch::pass(const QByteArray &sent)
{
    if (!isActive())
        return sent;
    m_pending.append(sent);
    QByteArray read;
    for (char c = 0; readOne(false, c); dropPassed())
        read.append(c);
    return read;
}

QByteArray RateMismatch::finish()
{
    if (!isActive())
        return {};
    QByteArray read;
    for (char c = 0; readOne(true, c); dropPassed())
        read.append(c);
    m_pending.clear();
    m_cursor = 0;
    return read;
}

QByteArray RateMismatch::garbled(const QByteArray &text, int senderBaud, int receiverBaud)
{
    RateMismatch line;
    line.start(senderBaud, receiverBaud);
    QByteArray read = line.pass(text);
    return read + line.finish();
}

} // namespace drivesim
