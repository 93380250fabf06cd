#include "transfer/outputdrain.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

std::shared_future<bool> startOutputDrain(int handle)
{
    std::promise<bool> finished;
    std::shared_future<bool> result = finished.get_future().share();
    const int fd = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        finished.set_value(false);
        return result;
    }
    std::thread([fd, finished = std::move(finished)]() mutable {
        int drained = 0;
        do {
            drained = ::tcdrain(fd);
        } while (drained != 0 && errno == EINTR);
        // Closed before the caller hears of it, so that a port reported
        // drained is held by nothing of this program's.
        ::close(fd);
        finished.set_value(drained == 0);
    }).detach();
    return result;
}
