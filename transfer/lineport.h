#pragma once

#include <QByteArray>
#include <QtGlobal>

// What the transfer loop needs of the serial port. The program's port
// implements it; tests drive the loop with a port of their own.
class LinePort
{
public:
    virtual ~LinePort() = default;

    // Queues data for sending, in order. False when the port is closed or has
    // failed; the caller keeps the queue below outBufferSize() itself.
    virtual bool output(const QByteArray &data) = 0;
    // Every character received and not yet read, at once; empty when none.
    virtual QByteArray input() = 0;
    // Waits up to msecs for a character to arrive and returns as soon as one
    // has; true when something is waiting to be read.
    virtual bool waitForInput(int msecs) = 0;
    // Lets characters gather on the line for up to msecs, whether or not some
    // are waiting already, so that the next read takes them in one go; a
    // hang-up or an error ends the wait early.
    virtual void gatherInput(int msecs) = 0;

    // Characters queued and not yet on the line, wherever they are held.
    virtual qint64 queuedOutput() = 0;
    // The most characters the queue may hold.
    virtual qint64 outBufferSize() const = 0;
    // Lets queued characters move on towards the line, waiting at most msecs.
    virtual void waitForOutput(int msecs) = 0;
    enum class DrainStatus { Done, Pending, Failed };
    // Waits up to msecs for the last character to leave the device. Only
    // called with an empty queue. Pending: not yet; the wait goes on and the
    // next call takes it up. It lasts as long as the drive holds XOFF, or for
    // ever on a device that never empties; a close, which discards what the
    // device holds, ends it.
    virtual DrainStatus drain(int msecs) = 0;

    // True once the port has been lost: device gone, line hung up, an I/O
    // error. A closed port is not a failed one.
    virtual bool failed() const = 0;
    // Closes the port, discarding whatever is still queued; never fails and
    // may be repeated.
    virtual void close() = 0;
    // The characters the last close discarded, which never reached the line:
    // 0 from an open until the next close; closing a closed port keeps it.
    virtual qint64 discarded() const = 0;
};
