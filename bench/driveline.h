#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>
#include <sys/types.h>
#include <thread>
#include <vector>

// Seconds on the monotonic clock every figure of the benchmarks is read from.
double benchNow();

// The program and its arguments, args as a null-ended argv for posix_spawn;
// its pointers are into args, which must outlive it.
std::vector<char *> spawnArgv(QList<QByteArray> &args, const QStringList &arguments);

// One line the simulated drive printed, stamped when it arrived.
struct DriveEvent
{
    double at = 0;
    QString name;      // OPENED, RX, TX-DONE, CLOSED, ...
    qint64 count = -1; // the number after RX and TX-DONE
};

// tools/drivesim as a separate process. A thread of its own reads the events
// the moment they are printed, so their time stamps do not wait for the
// program's event pumps.
class DriveLine
{
public:
    DriveLine() = default;
    ~DriveLine();
    DriveLine(const DriveLine &) = delete;
    DriveLine &operator=(const DriveLine &) = delete;

    // Starts the drive serving COM1 below settingsDir and waits until it is ready.
    bool start(const QString &settingsDir, const QStringList &arguments);
    // Waits (without pumping window events) for an event of that name; true once seen.
    bool waitFor(const QString &name, double seconds);
    // Like waitFor, handling the program's window events while it waits.
    bool waitForPumping(const QString &name, double seconds);
    std::vector<DriveEvent> events();
    QString slavePath();
    void stop();

private:
    void readLoop(int fd);
    bool seen(const QString &name);

    pid_t m_pid = -1;
    int m_stdin = -1;
    std::thread m_reader;
    std::mutex m_lock;
    std::vector<DriveEvent> m_events;
    QString m_slave;
};
