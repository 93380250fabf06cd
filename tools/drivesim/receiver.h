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
class Receiver
{
public:
    // Truncates path and starts a session. Returns an error text, empty on success.
    QString start(const QString &path, qint64 charsPerSecond, const ReceiveBuffer &buffer,
                  const Faults &faults);
    // Consumes what is still buffered, lets the PC go on if it was stopped, closes the file.
    // With keepBuffered false (a hangup) the buffered rest is dropped. Returns an error text.
    QString finish(PtyLine &line, bool keepBuffered);

    qint64 room() const;
    void accept(const QByteArray &bytes) { m_buffer.append(bytes); }
    // Consumes what is due and sends XOFF/XON as needed. Returns an error text.
    QString service(PtyLine &line);
    // Never consume past this many characters (-1: no limit), so a hangup lands exactly.
    void setLimit(qint64 limit) { m_limit = limit; }

    bool isActive() const { return m_file.isOpen(); }
    qint64 consumed() const { return m_consumed; }
    qint64 buffered() const { return m_buffer.size(); }
    // What the PC was last told: true after XOFF.
    bool pcStopped() const { return m_stopSent; }

private:
    bool isHolding();
    QString consume(qint64 count);
    bool sendFlow(PtyLine &line);

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
};

} // namespace drivesim
