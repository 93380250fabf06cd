#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// The lock files through which serial programs on Linux and other Unix
// systems tell each other that a port is in use (/var/lock/LCK..ttyUSB0,
// holding the process number as text): the port takes one while it is open,
// and the listing reads them to name who holds a port.
class PortLock
{
public:
    PortLock() = default;
    ~PortLock() { release(); }
    PortLock(const PortLock &) = delete;
    PortLock &operator=(const PortLock &) = delete;

    // Takes the lock for device. False only when a running program holds it;
    // a lock left by a program that has ended is taken over, and where no
    // lock folder may be written the port goes without one.
    bool take(const QString &device);
    void release();

    // The folders where serial programs leave their lock files.
    static QStringList folders();
    // "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3.
    static QString fileName(const QString &device);
    // The running program, other than this one, whose lock file in folder
    // names device; 0 when there is none.
    static pid_t holder(const QString &folder, const QString &device);

private:
    bool create(const QString &path);
    QString m_path;
};
