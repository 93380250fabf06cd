#pragma once

#include <QByteArray>

namespace drivesim {

// What a UART set to one rate reads of characters sent at another, as on a real line whose
// two ends disagree: it waits for the falling edge of a start bit, samples the middle of each
// of its own bit times from there, and passes the eight data bits on whether the stop bit is
// there or not (a framing error, which a port that does not check parity delivers as the
// character it read). The same characters always give the same result, however they are cut
// into pieces.
class RateMismatch
{
public:
    // Characters go out at senderBaud and are read at receiverBaud.
    void start(int senderBaud, int receiverBaud);
    // Passes characters on unchanged from now on.
    void stop() { *this = RateMismatch(); }
    bool isActive() const { return m_senderBit > 0; }

    // The characters read from what was sent so far; a character whose reading needs bits
    // that have not been sent yet waits for them.
    QByteArray pass(const QByteArray &sent);
    // What is still waiting, read as if the line then stays idle.
    QByteArray finish();

    // The whole of text as the receiver reads it.
    static QByteArray garbled(const QByteArray &text, int senderBaud, int receiverBaud);

private:
    enum Level { Low, High, NotYetSent };
    Level level(qint64 bit, bool idleAfter) const;
    bool readOne(bool idleAfter, char &c);
    void dropPassed();

    QByteArray m_pending; // sent characters the receiver may still be reading
    // Times in units of 1 / (2 * gcd-reduced sender rate * receiver rate) seconds, so that
    // both bit times and the receiver's half bit are whole numbers.
    qint64 m_senderBit = 0;
    qint64 m_receiverBit = 0;
    qint64 m_halfReceiverBit = 0;
    qint64 m_cursor = 0; // from here on the receiver looks for a start bit
};

} // namespace drivesim
