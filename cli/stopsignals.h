#pragma once

#include <QObject>

#include <functional>

// A request to stop as an event: on POSIX SIGINT and SIGTERM, whose handler only
// writes a byte into a pipe; on Windows the console's Ctrl-C and Ctrl-Break,
// whose handler (on a thread of its own) only sets an event. The event loop
// (the transfer loop's waits among them) sees it at once and calls onStop,
// where the program may do anything a window's Cancel does. The default
// actions come back when this is destroyed.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals() override;

    bool installed() const { return m_notifier != nullptr; }
    bool stopped() const { return m_stopped; }
    // True once a stop has come, before the event loop has heard of it: for
    // work that runs outside the event loop and can end early.
    static bool requested();

private:
    void notified();

    std::function<void()> m_onStop;
    QObject *m_notifier = nullptr; // a QSocketNotifier, or a QWinEventNotifier
    bool m_stopped = false;
};
