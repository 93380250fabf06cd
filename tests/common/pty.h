#pragma once

// The drive's end of a real pseudo-terminal, for the tests of the serial
// port: the program opens the other end (the slave) as its COM port.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

// Makes COM<number> of the settings folder lead to target.
inline bool linkCom(const QString &settingsFolder, int number, const QString &target)
{
    const QString link = settingsFolder + QStringLiteral("/dosdevices/com%1").arg(number);
    QFile::remove(link);
    return QDir(settingsFolder).mkpath(QStringLiteral("dosdevices")) && QFile::link(target, link);
}

class Pty
{
public:
    static constexpr int kPatience = 5000; // ms a test waits for the kernel before giving up

    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0))
            closeMaster();
        if (m_master >= 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString slave() const { return m_slave; }

    bool send(const QByteArray &data) const
    {
        return ::write(m_master, data.constData(), size_t(data.size())) == data.size();
    }
    bool readable(int msecs) const
    {
        pollfd target{m_master, POLLIN, 0};
        return ::poll(&target, 1, msecs) == 1 && (target.revents & POLLIN);
    }
    // Characters the program has written that this end has not read yet.
    qsizetype waiting() const
    {
        int count = 0;
        return ::ioctl(m_master, FIONREAD, &count) == 0 ? count : -1;
    }
    // Reads until count bytes have come or the line stays quiet for msecs.
    QByteArray receive(qsizetype count, int msecs = kPatience) const
    {
        QByteArray data;
        char chunk[4096];
        while (data.size() < count && readable(msecs)) {
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got <= 0)
                break;
            data.append(chunk, got);
        }
        return data;
    }
    // Hangs the line up, as a cable pulled out would.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};
