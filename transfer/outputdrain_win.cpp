// The drain on a Windows port: the driver's wait for its writes, then its
// own count.
#include "transfer/outputdrain.h"

#include <windows.h>

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
    if (!::DuplicateHandle(process, HANDLE(handle), process, &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return -1;
    return qintptr(own);
}

// Some drivers hold characters past the end of a write, hence the count
// after the flush. A close's purge ends the first, abandoning the second.
bool drain(qintptr handle, const std::atomic<bool> &abandoned)
{
    const HANDLE device = HANDLE(handle);
    bool drained = ::FlushFileBuffers(device) != 0;
    while (drained && !abandoned) {
        COMSTAT stat{};
        DWORD errors = 0;
        drained = ::ClearCommError(device, &errors, &stat) != 0;
        if (stat.cbOutQue == 0)
            break;
        std::this_thread::sleep_for(kQueuePoll);
    }
    ::CloseHandle(device);
    return drained;
}

} // namespace DeviceDrain
