#include "cli/stopsignals.h"

#include <QWinEventNotifier>

#include <windows.h>

#include <atomic>

namespace {

HANDLE g_event = nullptr;
std::atomic<bool> g_requested = false;

// Runs on a thread the system starts for it: it only sets the event.
BOOL WINAPI onControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE; // closing the console or logging off: the system's own end
    g_requested = true;
    ::SetEvent(g_event);
    return TRUE;
}

} // namespace

StopSignals::StopSignals(std::function<void()> onStop)
    : m_onStop(std::move(onStop))
{
    // Reset by hand once seen, so that a stop is never consumed by the wait alone.
    g_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_event)
        return;
    auto *notifier = new QWinEventNotifier(g_event, this);
    connect(notifier, &QWinEventNotifier::activated, this, &StopSignals::notified);
    m_notifier = notifier;
    ::SetConsoleCtrlHandler(onControl, TRUE);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    ::SetConsoleCtrlHandler(onControl, FALSE);
    delete m_notifier;
    g_requested = false;
    ::CloseHandle(g_event);
    g_event = nullptr;
}

bool StopSignals::requested()
{
    return g_requested;
}

void StopSignals::notified()
{
    ::ResetEvent(g_event);
    m_stopped = true;
    if (m_onStop)
        m_onStop();
}
