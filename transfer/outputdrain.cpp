#include "transfer/outputdrain.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
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

#ifdef Q_OS_WIN

// How often the driver's own count is asked while it still holds characters.
constexpr std::chrono::milliseconds kQueuePoll(10);

qintptr duplicate(qintptr handle)
{
    HANDLE own = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    if (!::DuplicateHandle(process, HANDLE(handle), process, &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return -1;
    return qintptr(own);
}

// The driver's wait for its writes to end, on the calling thread, then its
// own count: some drivers hold characters past the end of a write. A close's
// purge ends the first, abandoning the second.
bool drainDevice(qintptr handle, const std::atomic<bool> &abandoned)
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
    // Closed before the caller hears of it, so that a port reported drained
    // is held by nothing of this program's.
    ::CloseHandle(device);
    return drained;
}

#else

qintptr duplicate(qintptr handle)
{
    return ::fcntl(int(handle), F_DUPFD_CLOEXEC, 0);
}

// The device's own wait for its last character, on the calling thread.
bool drainDevice(qintptr handle, const std::atomic<bool> &)
{
    const int fd = int(handle);
    int drained = 0;
    do {
        drained = ::tcdrain(fd);
    } while (drained != 0 && errno == EINTR);
    // Closed before the caller hears of it, so that a port reported drained
    // is held by nothing of this program's.
    ::close(fd);
    return drained == 0;
}

#endif

std::shared_future<bool> startDrain(qintptr handle, std::shared_ptr<std::atomic<bool>> abandoned,
                                    std::shared_ptr<OutputDrain::Waker> waker)
{
    std::promise<bool> finished;
    std::shared_future<bool> result = finished.get_future().share();
    const qintptr own = duplicate(handle);
    if (own < 0) {
        finished.set_value(false);
        return result;
    }
    std::thread([own, abandoned = std::move(abandoned), finished = std::move(finished),
                 waker = std::move(waker)]() mutable {
        finished.set_value(drainDevice(own, *abandoned));
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

LinePort::DrainStatus OutputDrain::status(qintptr handle)
{
    if (!m_finished.valid()) {
        m_abandoned = std::make_shared<std::atomic<bool>>(false);
        m_finished = startDrain(handle, m_abandoned, m_waker);
    }
    if (m_finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return LinePort::DrainStatus::Pending;
    const bool drained = m_finished.get();
    m_finished = {};
    return drained ? LinePort::DrainStatus::Done : LinePort::DrainStatus::Failed;
}

void OutputDrain::abandon(int msecs)
{
    if (!m_finished.valid())
        return;
    *m_abandoned = true;
    m_finished.wait_for(std::chrono::milliseconds(msecs));
    m_finished = {};
}
