#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGINT and SIGTERM as an event: the handler only writes a byte into a pipe,
// and the event loop (the transfer loop's event pump among them) reads it and
// calls onStop, where the program may do anything a window's Cancel does.
// The default actions come back when this is destroyed.
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
    void readPipe();

    std::function<void()> m_onStop;
    QSocketNotifier *m_notifier = nullptr;
    bool m_stopped = false;
};
