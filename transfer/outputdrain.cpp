#include "transfer/outputdrain.h"

#include <QtGlobal>

#include <chrono>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

std::shared_future<bool> startDrain(int handle)
{
    std::promise<bool> finished;
    std::shared_future<bool> result = finished.get_future().share();
#ifdef Q_OS_UNIX
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
#else
    Q_UNUSED(handle);
    finished.set_value(true);
#endif
    return result;
}

} // namespace

LinePort::DrainStatus OutputDrain::wait(int handle, int msecs)
{
    if (!m_finished.valid())
        m_finished = startDrain(handle);
    if (m_finished.wait_for(std::chrono::milliseconds(msecs)) != std::future_status::ready)
        return LinePort::DrainStatus::Pending;
    const bool drained = m_finished.get();
    m_finished = {};
    return drained ? LinePort::DrainStatus::Done : LinePort::DrainStatus::Failed;
}

void OutputDrain::abandon(int msecs)
{
    if (m_finished.valid())
        m_finished.wait_for(std::chrono::milliseconds(msecs));
    m_finished = {};
}
