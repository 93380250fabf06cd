#pragma once

#include "transfer/lineport.h"

#include <future>

// Waits for the last character written to a serial device to leave it
// (tcdrain), which takes as long as the drive holds XOFF, or for ever on a
// device that never empties. The wait runs on a thread of its own, on a
// descriptor of its own that stays valid whenever the port closes, so the
// caller waits in slices and may walk away. Discarding the device's output
// ends it; a device that keeps characters through a discard keeps the thread
// until it lets go.
class OutputDrain
{
public:
    // Starts the wait on handle's device unless one runs already, then waits
    // up to msecs for it to end. Failed: the device reported an error.
    LinePort::DrainStatus wait(int handle, int msecs);
    // Leaves the wait behind, first giving it up to msecs to end.
    void abandon(int msecs);

private:
    std::shared_future<bool> m_finished;
};
