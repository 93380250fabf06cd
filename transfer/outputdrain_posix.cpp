// The drain on a POSIX terminal: the kernel's own wait for the last character.
#include "transfer/outputdrain.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace DeviceDrain {

qintptr duplicate(qintptr handle)
{
    return ::fcntl(int(handle), F_DUPFD_CLOEXEC, 0);
}

bool drain(qintptr handle, const std::atomic<bool> &)
{
    const int fd = int(handle);
    int drained = 0;
    do {
        drained = ::tcdrain(fd);
    } while (drained != 0 && errno == EINTR);
    ::close(fd);
    return drained == 0;
}

} // namespace DeviceDrain
