#include "transfer/outputdrain.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <mutex>
#include <thread>

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

std::shared_future<bool> startDrain(qintptr handle, std::shared_ptr<std::atomic<bool>> abandoned,
                                    std::shared_ptr<OutputDrain::Waker> waker)
{
    std::promise<bool> finished;
    std::shared_future<bool> result = finished.get_future().share();
    const qintptr own = DeviceDrain::duplicate(handle);
    if (own < 0) {
        finished.set_value(false);
        return result;
    }
    std::thread([own, abandoned = std::move(abandoned), finished = std::move(finished),
                 waker = std::move(waker)]() mutable {
        finished.set_value(DeviceDrain::drain(own, *abandoned));
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
