#include "ptyline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace drivesim {

namespace {

constexpr qint64 kMaxReadChunk = 64 * 1024;
// Statuses come one per read and are few: stop, start, flushes.
constexpr int kMaxStatusesPerRead = 8;

QString systemError(const char *call)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(call), qt_error_string(errno));
}

// Nothing to read or room to write yet; EIO means the program has closed its side, which
// the poll timer reports in its own time.
bool isTransient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == EIO;
}

} // namespace

PtyLine::PtyLine(QObject *parent)
    : QObject(parent)
{
    m_pollTimer.setInterval(kPollIntervalMs);
    m_pollTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pollTimer, &QTimer::timeout, this, &PtyLine::pollLine);
}

PtyLine::~PtyLine()
{
    shutDown();
}

QString PtyLine::open(const QString &linkPath)
{
    close();
    QString error = createPty();
    if (error.isEmpty())
        error = armHangupState();
    if (error.isEmpty())
        error = linkTo(linkPath);
    if (!error.isEmpty()) {
        close();
        return error;
    }
    m_pollTimer.start();
    return {};
}

QString PtyLine::createPty()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return systemError("posix_openpt");
    if (::fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0)
        return systemError("fcntl");
    if (::grantpt(m_master) != 0)
        return systemError("grantpt");
    if (::unlockpt(m_master) != 0)
        return systemError("unlockpt");
    int packetMode = 1;
    if (::ioctl(m_master, TIOCPKT, &packetMode) != 0)
        return systemError("ioctl TIOCPKT");
    m_programStopped = false;
    m_programStops = 0;
    const char *name = ::ptsname(m_master);
    if (name == nullptr)
        return systemError("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    return {};
}

// A master whose slave has never been opened does not report POLLHUP; one whose slave has
// been opened and closed again does, until the next open. Opening the slave once puts the
// pty in the state the poll timer relies on.
QString PtyLine::armHangupState()
{
    return touchSlave(false);
}

// Opens the slave for an instant, while the program has it closed, never longer.
QString PtyLine::touchSlave(bool flushInput)
{
    const QByteArray path = QFile::encodeName(m_slavePath);
    const int slave = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return systemError("open slave");
    QString error;
    if (flushInput && ::tcflush(slave, TCIFLUSH) != 0)
        error = systemError("tcflush");
    if (::close(slave) != 0 && error.isEmpty())
        error = systemError("close slave");
    return error;
}

QString PtyLine::linkTo(const QString &linkPath)
{
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat info = {};
    if (::lstat(link.constData(), &info) == 0 && !S_ISLNK(info.st_mode))
        return QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
    const QString folder = QFileInfo(linkPath).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create %1").arg(folder);

    // Built beside the old link and renamed over it, so the program never finds the name
    // missing or half made.
    const QByteArray temporary = link + ".new-" + QByteArray::number(::getpid());
    if (::unlink(temporary.constData()) != 0 && errno != ENOENT)
        return systemError("unlink");
    if (::symlink(QFile::encodeName(m_slavePath).constData(), temporary.constData()) != 0)
        return systemError("symlink");
    if (::rename(temporary.constData(), link.constData()) != 0) {
        const QString error = systemError("rename");
        ::unlink(temporary.constData());
        return error;
    }
    m_linkPath = linkPath;
    return {};
}

void PtyLine::close()
{
    m_pollTimer.stop();
    m_connected = false;
    if (m_master >= 0) {
        // Nothing useful can be done if closing a pty master fails; the descriptor is gone
        // either way.
        ::close(m_master);
        m_master = -1;
    }
}

void PtyLine::shutDown()
{
    close();
    if (m_linkPath.isEmpty())
        return;
    const QString target = QFile::symLinkTarget(m_linkPath);
    if (target == m_slavePath)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}

void PtyLine::pollLine()
{
    if (m_master < 0)
        return;
    pollfd entry = {m_master, POLLIN | POLLPRI, 0};
    int ready = ::poll(&entry, 1, 0);
    // A status waiting to be read (the program stopped or flushed) also shows as input,
    // even with the port closed: taken first, it leaves what input there really is.
    if (ready > 0 && (entry.revents & POLLPRI) != 0) {
        takeStatus();
        entry.revents = 0;
        ready = ::poll(&entry, 1, 0);
    }
    if (ready < 0) {
        if (errno != EINTR)
            Q_EMIT failed(systemError("poll"));
        return;
    }
    // A program that opens, writes and closes between two polls leaves only its
    // data behind: the session lasts until that has been read.
    const bool slaveOpen = (entry.revents & POLLHUP) == 0 || (entry.revents & POLLIN) != 0;
    if (slaveOpen == m_connected)
        return;
    m_connected = slaveOpen;
    if (slaveOpen)
        Q_EMIT connected();
    else
        Q_EMIT disconnected();
}

QByteArray PtyLine::read(qint64 maxBytes)
{
    if (m_master < 0 || maxBytes <= 0)
        return {};
    maxBytes = std::min(maxBytes, kMaxReadChunk);
    // In packet mode each read starts with one byte: TIOCPKT_DATA before data, or a
    // status alone. A status is taken before any data, so a few reads reach the data.
    QByteArray buffer(maxBytes + 1, Qt::Uninitialized);
    for (int statuses = 0; statuses < kMaxStatusesPerRead; ++statuses) {
        ssize_t count = -1;
        do {
            count = ::read(m_master, buffer.data(), static_cast<size_t>(maxBytes + 1));
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            if (!isTransient(errno))
                Q_EMIT failed(systemError("read"));
            return {};
        }
        if (count == 0)
            return {};
        if (buffer.at(0) == TIOCPKT_DATA) {
            buffer.truncate(count);
            return buffer.sliced(1);
        }
        noteStatus(buffer.at(0));
    }
    return {};
}

// Reads one status that poll() reported. Had data come first, this one-byte read
// returns only its leading byte and leaves the data where it is.
void PtyLine::takeStatus()
{
    char status = TIOCPKT_DATA;
    if (::read(m_master, &status, 1) == 1 && status != TIOCPKT_DATA)
        noteStatus(status);
}

void PtyLine::noteStatus(char status)
{
    if ((status & TIOCPKT_STOP) != 0) {
        if (!m_programStopped)
            ++m_programStops;
        m_programStopped = true;
    }
    // A start replaces a stop not read yet: the stop happened all the same.
    if ((status & TIOCPKT_START) != 0) {
        if (!m_programStopped)
            ++m_programStops;
        m_programStopped = false;
    }
}

qint64 PtyLine::write(const char *data, qint64 size)
{
    if (m_master < 0)
        return -1;
    if (size <= 0)
        return 0;
    ssize_t count = -1;
    do {
        count = ::write(m_master, data, static_cast<size_t>(size));
    } while (count < 0 && errno == EINTR);
    if (count >= 0)
        return count;
    if (isTransient(errno))
        return 0;
    Q_EMIT failed(systemError("write"));
    return -1;
}

bool PtyLine::discardUnread()
{
    // The slave's input queue outlives a close. On a master, TCOFLUSH only empties what
    // the line discipline has not taken yet, so the queue is flushed from the slave's side.
    if (m_master < 0 || m_connected)
        return true;
    const QString error = touchSlave(true);
    if (error.isEmpty())
        return true;
    Q_EMIT failed(QStringLiteral("cannot discard what the program left unread: %1").arg(error));
    return false;
}

int PtyLine::programBaud() const
{
    static const struct
    {
        speed_t code;
        int baud;
    } kRates[] = {{B300, 300},      {B600, 600},       {B1200, 1200},     {B2400, 2400},
                  {B4800, 4800},    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                  {B57600, 57600},  {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
                  {B921600, 921600}};
    termios settings = {};
    if (m_master < 0 || ::tcgetattr(m_master, &settings) != 0)
        return 0;
    const speed_t code = ::cfgetospeed(&settings);
    for (const auto &rate : kRates) {
        if (rate.code == code)
            return rate.baud;
    }
    return 0;
}

bool PtyLine::programUsesSoftwareFlow() const
{
    termios settings = {};
    if (m_master < 0 || ::tcgetattr(m_master, &settings) != 0)
        return false;
    return (settings.c_iflag & IXON) != 0;
}

} // namespace drivesim
