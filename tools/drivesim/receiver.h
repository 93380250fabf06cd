#pragma once

#include "drivesettings.h"
#include "ratepacer.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>

namespace drivesim {

class PtyLine;

// The drive's receive side: a buffer of limited size filled eagerly from the line and
// emptied at the line's rate, with XOFF/XON sent at its water marks.
//
// The file holds what the drive has consumed from its buffer, flushed at once, and
// consumed() counts it: when consumed() equals what the PC sent, the file is complete.
//
// Under XOFF it is a UART's receiver: it keeps taking characters off the line, and those
// that come after the XOFF, beyond the few a PC's UART still sends (what its transmit
// FIFO holds), are an overrun unless the PC's end is seen to stop. A real drive would
// lose them; these are kept and only counted, so that the file still shows what the PC
// sent and overrun() alone says whether it sent when told not to.
class Receiver
{
public:
    static constexpr qint64 kCharsInFlight = 16;

    // Truncates path and starts a session. Returns an error text, empty on success.
    QString start(const QString &path, qint64 charsPerSecond, const ReceiveBuffer &buffer,
                  const Faults &faults);
    // Consumes what is still buffered, lets the PC go on if it was stopped, closes the file.
    // With keepBuffered false (a hangup) the buffered rest is dropped. Returns an error text.
    QString finish(PtyLine &line, bool keepBuffered);

    // How much to take off the line now: what the buffer has room for, and everything
    // while the PC is told to stop.
    qint64 room() const;
    void accept(const QByteArray &bytes);
    // Consumes what is due and sends XOFF/XON as needed. Returns an error text.
    QString service(PtyLine &line);
    // Never consume past this many characters (-1: no limit), so a hangup lands exactly.
    void setLimit(qint64 limit) { m_limit = limit; }

    bool isActive() const { return m_file.isOpen(); }
    qint64 consumed() const { return m_consumed; }
    qint64 buffered() const { return m_buffer.size(); }
    // What the PC was last told: true after XOFF.
    bool pcStopped() const { return m_stopSent; }
    // Characters that overran the drive this session, counted once each XOFF is over
    // (at the next XOFF, or at finish()).
    qint64 overrun() const { return m_overrun; }

private:
    bool isHolding();
    QString consume(qint64 count);
    bool sendFlow(PtyLine &line);
    void watchForOverrun(const PtyLine &line);
    void noteProgramStop(const PtyLine &line);
    void settleOverrun();

    QFile m_file;
    QByteArray m_buffer;
    qint64 m_consumed = 0;
    qint64 m_limit = -1;
    ReceiveBuffer m_levels;
    Faults m_faults;
    RatePacer m_pacer;
    bool m_aboveHigh = false;
    bool m_holdUsed = false;
    bool m_holding = false;
    QDeadlineTimer m_holdEnd;
    bool m_stopSent = false;
    // The last XOFF, until its characters are counted: what came after it, and whether
    // the PC's end has stopped since.
    bool m_watching = false;
    int m_stopsAtXoff = 0;
    bool m_programStopped = false;
    qint64 m_sinceXoff = 0;
    qint64 m_overrun = 0;
};

} // namespace drivesim
