#include "cli/stopsignals.h"

#include <QWinEventNotifier>

#include <windows.h>

#include <atomic>
#include <mutex>

namespace {

HANDLE g_event = nullptr;
std::atomic<bool> g_requested = false;
// A StopSignals is there to hear the stop: otherwise the system's own end.
std::atomic<bool> g_listening = false;

// Runs on a thread the system starts for it.
BOOL WINAPI onControl(DWORD type)
{
    if (!g_listening)
        return FALSE;
    g_requested = true;
    ::SetEvent(g_event);
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)
        return TRUE;
    // Closing the console, logging off, shutting down: the process ends the
    // moment this returns. The stop is handled as Cancel's is, which writes
    // what a receive holds into its file and closes it; this thread waits for
    // the program's own end, which ends it too, or for the system's limit.
    ::Sleep(INFINITE);
    return TRUE;
}

// A program that has loaded user32, as Qt does, hears of a logoff or a
// shutdown only through a window: a hidden one, on a thread of its own.
LRESULT CALLBACK onSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENDSESSION && wParam)
        onControl(CTRL_LOGOFF_EVENT);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI watchSession(void *)
{
    WNDCLASSW kind{};
    kind.lpfnWndProc = onSessionMessage;
    kind.hInstance = ::GetModuleHandleW(nullptr);
    kind.lpszClassName = L"QuilletSessionEnd";
    if (!::RegisterClassW(&kind) || !::CreateWindowExW(0, kind.lpszClassName, L"", 0, 0, 0, 0, 0,
                                                       nullptr, nullptr, kind.hInstance, nullptr))
        return 0;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    return 0;
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
    // A parent may have started the program with Ctrl-C switched off, which
    // the program inherits (a new process group, or `start /b` on Windows).
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    // Once for the process, and never taken away: the system runs a handler
    // with its list locked, so that a close waiting in onControl would hold
    // the program's end in a removal. Without a listener it does nothing.
    static std::once_flag installed;
    std::call_once(installed, [] {
        ::SetConsoleCtrlHandler(onControl, TRUE);
        if (const HANDLE thread = ::CreateThread(nullptr, 0, watchSession, nullptr, 0, nullptr))
            ::CloseHandle(thread);
    });
    g_listening = true;
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    g_listening = false;
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
