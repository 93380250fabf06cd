#pragma once

#include "drivesettings.h"
#include "ratepacer.h"

#include <QByteArray>
#include <QDeadlineTimer>

namespace drivesim {

class PtyLine;

// Sends one text to the PC, paced like a UART and obeying the PC's XON/XOFF.
class Transmitter
{
public:
    // Forgets the text and the PC's flow state: a new session begins.
    void reset() { *this = Transmitter(); }
    // Starts sending. An XOFF the PC sent before this still holds.
    void start(const QByteArray &payload, qint64 charsPerSecond, const Faults &faults);

    // Looks for XON/XOFF in what the PC sent; anything else means nothing to a sending drive.
    void handleIncoming(const QByteArray &bytes);
    // Writes what is due now. Returns false when the line failed.
    bool service(PtyLine &line);
    // Never send past this many characters (-1: no limit), so a hangup lands exactly.
    void setLimit(qint64 limit) { m_limit = limit; }

    bool isActive() const { return m_active; }
    bool isFinished() const { return m_active && m_sent == m_payload.size(); }
    bool isStoppedByPc() const { return m_stoppedByPc; }
    qint64 sent() const { return m_sent; }
    qint64 total() const { return m_payload.size(); }

private:
    bool isSilent();
    qint64 sendableNow() const;

    QByteArray m_payload;
    qint64 m_sent = 0;
    qint64 m_limit = -1;
    bool m_active = false;
    bool m_stoppedByPc = false;
    Faults m_faults;
    bool m_silenceUsed = false;
    bool m_silent = false;
    QDeadlineTimer m_silenceEnd;
    RatePacer m_pacer;
};

} // namespace drivesim
