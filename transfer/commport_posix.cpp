// The serial port on a POSIX terminal, through termios and the descriptor
// itself: reads, writes, waits and the queue counts straight on the device,
// where a library's buffering would hide what the line is doing.
#include "transfer/commport.h"

#include "transfer/portlock_posix.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

struct CommPort::Device
{
    int fd = -1;
    // What the terminal was set to before, given back at the close.
    termios before{};
    PortLock lock;
    // Line errors the driver had counted before the open.
    qint64 errorsBefore = 0;
    // Wake the event loop when characters arrive, only while the loop waits
    // for them, and when the device takes characters again, only while the
    // loop waits for room and characters are held here. Gone before the
    // descriptor closes.
    std::unique_ptr<QSocketNotifier> readable;
    std::unique_ptr<QSocketNotifier> writable;

    ~Device()
    {
        readable.reset();
        writable.reset();
        if (fd < 0)
            return;
        ::tcsetattr(fd, TCSANOW, &before);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
};

namespace {

constexpr int kReadChunk = 4096;

CommPort::OpenFailure failureOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return CommPort::OpenFailure::NoDevice;
    case EACCES:
    case EPERM:
    case EROFS:
        return CommPort::OpenFailure::NotPermitted;
    case EBUSY:
    case EWOULDBLOCK:
        return CommPort::OpenFailure::Busy;
    case ENOTTY:
        return CommPort::OpenFailure::NotATerminal;
    default:
        return CommPort::OpenFailure::Refused;
    }
}

bool speedOf(qint32 baudRate, speed_t &speed)
{
    static constexpr std::pair<qint32, speed_t> kSpeeds[] = {
        {300, B300},   {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto &[rate, constant] : kSpeeds) {
        if (rate == baudRate) {
            speed = constant;
            return true;
        }
    }
    return false;
}

// Raw eight-bit characters; reads that return at once with what has come.
// With XON/XOFF only an XON ends an XOFF: any other character would let a
// drive that is still busy have more data.
bool applyLine(int fd, const CommSettings &settings, qint32 handshaking, termios &tio)
{
    speed_t speed = 0;
    if (!speedOf(settings.baudRate, speed))
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag =
        (tio.c_cflag & ~tcflag_t(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS)) | CLOCAL | CREAD;
    tio.c_cflag |= settings.dataBits == 7 ? CS7 : CS8;
    if (settings.stopBits == CommSettings::StopBits::Two)
        tio.c_cflag |= CSTOPB;
    if (settings.parity != CommSettings::Parity::None)
        tio.c_cflag |= PARENB | (settings.parity == CommSettings::Parity::Odd ? PARODD : 0);
    if (handshaking == CommPort::RtsCts)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    if (handshaking == CommPort::XonXoff)
        tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    // tcsetattr succeeds when any one change took; look at what holds now.
    termios now{};
    return ::tcgetattr(fd, &now) == 0 && now.c_cflag == tio.c_cflag && now.c_iflag == tio.c_iflag &&
           ::cfgetospeed(&now) == speed;
}

// Framing, parity and overrun errors, where the driver counts them.
qint64 errorCount(int fd)
{
#ifdef Q_OS_LINUX
    serial_icounter_struct counts{};
    if (::ioctl(fd, TIOCGICOUNT, &counts) == 0)
        return qint64(counts.frame) + counts.parity + counts.overrun + counts.buf_overrun;
#else
    Q_UNUSED(fd);
#endif
    return 0;
}

} // namespace

CommPort::CommPort() = default;

CommPort::~CommPort()
{
    setPortOpen(false);
}

bool CommPort::openDevice()
{
    auto device = std::make_unique<Device>();
    const auto refused = [this](int error) {
        m_openFailure = failureOf(error);
        return false;
    };
    // Another program that takes the lock files seriously is told at once.
    if (!device->lock.take(m_path))
        return refused(EBUSY);
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refused(errno);
    if (::tcgetattr(fd, &device->before) != 0) {
        const int error = errno;
        ::close(fd);
        return refused(error);
    }
    device->fd = fd;
    // Any other open of the device is refused while this one holds it, and
    // programs that lock with flock see it held.
    if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refused(errno == EWOULDBLOCK ? EBUSY : errno);
    termios tio = device->before;
    if (!applyLine(fd, m_settings, m_handshaking, tio))
        return refused(EINVAL);
    // What arrived before the open, a drive's last words to another program
    // or noise from plugging in, is no part of this transfer.
    ::tcflush(fd, TCIFLUSH);
    device->errorsBefore = errorCount(fd);
    device->readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    device->readable->setEnabled(false);
    QObject::connect(device->readable.get(), &QSocketNotifier::activated, device->readable.get(),
                     [this] { onDeviceReadable(); });
    device->writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    device->writable->setEnabled(false);
    QObject::connect(device->writable.get(), &QSocketNotifier::activated, device->writable.get(),
                     [this] { onDeviceWritable(); });
    m_device = std::move(device);
    return true;
}

qint64 CommPort::closeDevice()
{
    // The device is flushed only when it says it holds characters: a
    // pseudo-terminal says it holds none, yet a flush throws away what it
    // took and the other end has not read, characters already counted as
    // sent. Discarding also ends a drain that waits in the background.
    readDeviceQueue();
    const qint64 discarded = m_pending.size() + m_deviceQueued;
    if (m_deviceQueued > 0)
        ::tcflush(m_device->fd, TCOFLUSH);
    m_drain.abandon(kDrainReleaseMsecs);
    m_device.reset();
    return discarded;
}

qintptr CommPort::handle() const
{
    return m_device ? qintptr(m_device->fd) : -1;
}

bool CommPort::writePending()
{
    const int fd = m_device->fd;
    m_lastWrite.start();
    while (!m_pending.isEmpty()) {
        const ssize_t written = ::write(fd, m_pending.constData(), size_t(m_pending.size()));
        if (written > 0) {
            m_pending.remove(0, written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            break; // the device is full or held by XOFF: keep it queued
        } else {
            markFailed();
            return false;
        }
    }
    m_deviceFull = !m_pending.isEmpty();
    return readDeviceQueue();
}

bool CommPort::readDeviceQueue()
{
    int inDevice = 0;
    if (::ioctl(m_device->fd, TIOCOUTQ, &inDevice) != 0) {
        markFailed();
        m_deviceQueued = 0;
        return false;
    }
    m_deviceQueued = inDevice;
    return true;
}

QByteArray CommPort::input()
{
    if (!m_device)
        return QByteArray();
    QByteArray data;
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t count = ::read(m_device->fd, chunk, sizeof chunk);
        if (count > 0) {
            data.append(chunk, count);
            if (count < ssize_t(sizeof chunk))
                break;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // 0 is "nothing waiting" on a raw port; a hang-up shows in the
            // next wait for input.
            if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                markFailed();
            break;
        }
    }
    return data;
}

bool CommPort::inputWaiting()
{
    if (!m_device || m_failed)
        return portOpen();
    pollfd target{m_device->fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&target, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A hung-up line reads as empty for ever: only the poll tells.
    if (ready < 0 || (target.revents & (POLLHUP | POLLERR | POLLNVAL)))
        markFailed();
    return ready != 0;
}

bool CommPort::lost()
{
    if (!m_device || m_failed)
        return m_failed;
    // No event asked for: the poll reports only what has gone wrong.
    pollfd target{m_device->fd, 0, 0};
    int ready = 0;
    do {
        ready = ::poll(&target, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0 || (target.revents & (POLLHUP | POLLERR | POLLNVAL)))
        markFailed();
    return m_failed;
}

qint64 CommPort::queuedOutput()
{
    if (!m_device)
        return 0;
    // With characters still held here the device's count from the last
    // write is an upper bound, which is all a caller keeping the queue below
    // a limit needs; without any it must be exact.
    if (m_pending.isEmpty())
        readDeviceQueue();
    return m_pending.size() + m_deviceQueued;
}

void CommPort::onDeviceReadable()
{
    // Level-triggered: once is enough to end the wait, which then reads.
    m_device->readable->setEnabled(false);
}

void CommPort::onDeviceWritable()
{
    if (!m_pending.isEmpty())
        writePending();
    // Level-triggered: with nothing left to hand over, it would fire for ever.
    if (m_pending.isEmpty() || m_failed)
        m_device->writable->setEnabled(false);
}

void CommPort::wakeOn(Wake what)
{
    if (!m_device)
        return;
    m_device->readable->setEnabled(what == Wake::Input && !m_failed);
    m_device->writable->setEnabled(what == Wake::Output && !m_pending.isEmpty() && !m_failed);
}

LinePort::DrainStatus CommPort::deviceDrain()
{
    if (!m_device || m_failed || !m_pending.isEmpty())
        return DrainStatus::Failed;
    const DrainStatus status = m_drain.status(m_device->fd);
    if (status == DrainStatus::Failed)
        markFailed();
    return status;
}

bool CommPort::outputHeld()
{
    // The terminal does not say whether the drive's XOFF holds it; while it
    // does, its drain has not ended.
    return false;
}

qint64 CommPort::deviceLineErrors()
{
    return m_device ? errorCount(m_device->fd) - m_device->errorsBefore : 0;
}

qint64 CommPort::inBufferCount()
{
    if (!m_device)
        return 0;
    int waiting = 0;
    if (::ioctl(m_device->fd, FIONREAD, &waiting) != 0) {
        markFailed();
        waiting = 0;
    }
    return waiting;
}
