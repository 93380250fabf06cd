#include "transfer/outputdrain.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

struct OutputDrain::Waker
{
    std::mutex mutex;
    // Lives on the thread that owns the drain; gone once it walked away.
    std::unique_ptr<QObject> target;

    void wake()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (target)
            QCoreApplication::postEvent(target.get(), new QEvent(QEvent::User));
    }
};

namespace {

// The device's own wait for its last character, on the calling thread.
bool drainDevice(int fd)
{
#ifdef Q_OS_UNIX
    int drained = 0;
    do {
        drained = ::tcdrain(fd);
    } while (drained != 0 && errno == EINTR);
    // Closed before the caller hears of it, so that a port reported drained
    // is held by nothing of this program's.
    ::close(fd);
    return drained == 0;
#else
    Q_UNUSED(fd);
    return true;
#endif
}

std::shared_future<bool> startDrain(int handle, std::shared_ptr<OutputDrain::Waker> waker)
{
    std::promise<bool> finished;
    std::shared_future<bool> result = finished.get_future().share();
#ifdef Q_OS_UNIX
    const int fd = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
#else
    const int fd = handle;
#endif
    if (fd < 0) {
        finished.set_value(false);
        return result;
    }
    std::thread([fd, finished = std::move(finished), waker = std::move(waker)]() mutable {
        finished.set_value(drainDevice(fd));
        waker->wake();
    }).detach();
    return result;
}

} // namespace

OutputDrain::OutputDrain()
    : m_waker(std::make_shared<Waker>())
{
    m_waker->target = std::make_unique<QObject>();
}

OutputDrain::~OutputDrain()
{
    abandon(0);
    const std::lock_guard<std::mutex> lock(m_waker->mutex);
    m_waker->target.reset();
}

LinePort::DrainStatus OutputDrain::status(int handle)
{
    if (!m_finished.valid())
        m_finished = startDrain(handle, m_waker);
    if (m_finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
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
