#include "transfer/portlock_posix.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isRunning(pid_t pid)
{
    return pid > 0 && pid != ::getpid() && (::kill(pid, 0) == 0 || errno == EPERM);
}

pid_t pidIn(const QString &path)
{
    QFile lock(path);
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    bool isNumber = false;
    const pid_t pid = pid_t(lock.readLine(64).trimmed().toInt(&isNumber));
    return isNumber ? pid : 0;
}

} // namespace

QStringList PortLock::folders()
{
    return {QStringLiteral("/var/lock"),        QStringLiteral("/run/lock"),
            QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/etc/locks"),       QStringLiteral("/tmp"),
            QStringLiteral("/var/tmp"),         QStringLiteral("/var/lock/lockdev")};
}

QString PortLock::fileName(const QString &device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

pid_t PortLock::holder(const QString &folder, const QString &device)
{
    const pid_t pid = pidIn(folder + QLatin1Char('/') + fileName(device));
    return isRunning(pid) ? pid : 0;
}

bool PortLock::take(const QString &device)
{
    release();
    for (const QString &folder : folders()) {
        if (holder(folder, device) != 0)
            return false;
    }
    // The first folder the system lets everyone write, as other programs choose it.
    for (const QString &folder : folders()) {
        const QFileInfo info(folder);
        if (info.isDir() && info.isWritable())
            return create(folder + QLatin1Char('/') + fileName(device));
    }
    return true;
}

bool PortLock::create(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // Two tries: the second after removing a lock whose program has ended.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            // Ten columns and a line end: what the other programs write and read.
            const QByteArray text =
                QByteArray::number(qint64(::getpid())).rightJustified(10) + '\n';
            const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
            ::close(fd);
            if (written)
                m_path = path;
            else
                ::unlink(name.constData());
            return true;
        }
        if (errno != EEXIST)
            return true; // no lock where none can be made; the port is still held exclusively
        if (isRunning(pidIn(path)))
            return false;
        ::unlink(name.constData());
    }
    return false;
}

void PortLock::release()
{
    if (m_path.isEmpty())
        return;
    if (pidIn(m_path) == ::getpid())
        ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
}
