// The drain on a Windows port: the driver's wait for its writes, then its
// own count.
#include "transfer/outputdrain.h"

#include "transfer/wincalls_win.h"

#include <chrono>
#include <thread>

namespace {
// How often the driver's own count is asked while it still holds characters.
constexpr std::chrono::milliseconds kQueuePoll(10);
} // namespace

namespace DeviceDrain {

qintptr duplicate(qintptr handle)
{
    HANDLE own = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!WinCalls::calls().duplicateHandle(process, HANDLE(handle), process, &own, 0, FALSE,
                                           DUPLICATE_SAME_ACCESS))
        return -1;
    return qintptr(own);
}

// Some drivers hold characters past the end of a write, hence the count
// after the flush. A driver without a flush of its own refuses it
// (ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED, ...): its count then tells
// alone, and a device that is gone no longer answers for that count either.
// A close's purge ends the flush, abandoning the count.
bool drain(qintptr handle, const std::atomic<bool> &abandoned)
{
    const HANDLE device = HANDLE(handle);
    const WinCalls::Table &calls = WinCalls::calls();
    calls.flushFileBuffers(device);
    bool drained = true;
    while (!abandoned) {
        COMSTAT stat{};
        drained = WinCalls::queueCounts(device, stat);
        if (!drained || stat.cbOutQue == 0)
            break;
        std::this_thread::sleep_for(kQueuePoll);
    }
    calls.closeHandle(device);
    return drained;
}

} // namespace DeviceDrain
