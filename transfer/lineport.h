#pragma once

#include <QByteArray>
#include <QtGlobal>

// What the transfer loop needs of the serial port. The program's port
// implements it; tests drive the loop with a port of their own.
//
// Nothing here waits. The loop waits in the event loop (TransferClock), so
// that window events are handled the moment they come; the port only says
// how things stand, and wakes that wait when they may have changed.
class LinePort
{
public:
    virtual ~LinePort() = default;

    // Queues data for sending, in order. False when the port is closed or has
    // failed; the caller keeps the queue below outBufferSize() itself.
    virtual bool output(const QByteArray &data) = 0;
    // Every character received and not yet read, at once; empty when none.
    virtual QByteArray input() = 0;
    // True when a read would return characters, or when the port has failed
    // (the next read or failed() tells).
    virtual bool inputWaiting() = 0;
    // How long characters may gather on the line before a read that is to
    // take them in one go, at most most: a fast line would otherwise fill the
    // device meanwhile.
    virtual int gatherMsecs(int most) const { return most; }

    // Characters queued and not yet on the line, wherever they are held.
    virtual qint64 queuedOutput() = 0;
    // The most characters the queue may hold.
    virtual qint64 outBufferSize() const = 0;
    enum class DrainStatus { Done, Pending, Failed };
    // Whether the last character has left the device (for a USB adapter,
    // whose chip holds characters the driver no longer counts, also the time
    // the line needs to send them); the first call starts the wait for it,
    // which goes on by itself and wakes the event loop when it ends. Only called with an empty
    // queue. It lasts as long as the drive holds XOFF, or for ever on a
    // device that never empties; a close, which discards what the device
    // holds, ends it.
    virtual DrainStatus drain() = 0;

    // What ends a wait in the event loop besides its own time and window
    // events, from now until the next call.
    enum class Wake {
        Failure, // only the loss of the port
        Input,   // characters arriving, or the loss of the port
        Output,  // the device taking what is queued, a drain ending, or the loss
    };
    virtual void wakeOn(Wake what) = 0;

    // True once the port has been lost: device gone, line hung up, an I/O
    // error. A closed port is not a failed one.
    virtual bool failed() const = 0;
    // Looks at the device now, and says whether it has been lost (failed()
    // holds from then on). Nothing else tells of a loss while no character
    // moves: long waits ask it, at most a few times a second.
    virtual bool lost() = 0;
    // Characters the line damaged (framing, parity, overrun) from the open to
    // the close, where the system counts them; 0 where it does not. A closed
    // port keeps the count of its last open.
    virtual qint64 lineErrors() { return 0; }
    // Closes the port, discarding whatever is still queued; never fails and
    // may be repeated.
    virtual void close() = 0;
    // The characters the last close discarded, which never reached the line:
    // 0 from an open until the next close; closing a closed port keeps it.
    virtual qint64 discarded() const = 0;
};
