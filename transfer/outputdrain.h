#pragma once

#include "transfer/lineport.h"

#include <QObject>

#include <atomic>
#include <future>
#include <memory>

// Waits for the last character written to a serial device to leave it
// (tcdrain; on Windows FlushFileBuffers, then the driver's own count), which
// takes as long as the drive holds XOFF, or for ever on a device that never
// empties. The wait runs on a thread of its own, on a handle of its own that
// stays valid whenever the port closes, so the caller never waits and may
// walk away. Its end posts an event to the thread that started it, which
// wakes that thread's event loop. Discarding the device's output ends it; a
// device that keeps characters through a discard keeps the thread until it
// lets go.
class OutputDrain
{
public:
    OutputDrain();
    ~OutputDrain();
    OutputDrain(const OutputDrain &) = delete;
    OutputDrain &operator=(const OutputDrain &) = delete;

    // Starts the wait on handle's device unless one runs already, and says
    // how it stands. Failed: the device reported an error.
    LinePort::DrainStatus status(qintptr handle);
    // Leaves the wait behind, first giving it up to msecs to end.
    void abandon(int msecs);

    // What the drain's end wakes: shared with the thread, which may outlive
    // this object.
    struct Waker;

private:
    std::shared_future<bool> m_finished;
    // Tells the running wait that nobody waits for it any more.
    std::shared_ptr<std::atomic<bool>> m_abandoned;
    std::shared_ptr<Waker> m_waker;
};

// Each system's half of the drain (outputdrain_posix.cpp, outputdrain_win.cpp).
namespace DeviceDrain {
// A handle of the drain's own on the same device; -1 when none can be had.
qintptr duplicate(qintptr handle);
// Waits on the calling thread until the device has sent its last character,
// or a discard or an error ends the wait, then closes handle, so that a port
// reported drained is held by nothing of this program's. False on an error.
bool drain(qintptr handle, const std::atomic<bool> &abandoned);
} // namespace DeviceDrain
