#include "transfer/commport.h"

#include "transfer/portnames.h"

#include <QThread>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr int kDrainReleaseMsecs = 100;

// Qt reports a read that found nothing as a read error too, so only the
// loss of the device itself counts; the port's own reads and writes see the
// rest where it happens.
bool isLinkFailure(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError;
}

} // namespace

CommPort::CommPort()
{
    // Qt reads the port by itself whenever events are pumped; an error it
    // meets there is the only news of a lost device until the next read.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) {
                         if (isLinkFailure(error))
                             markFailed();
                     });
}

CommPort::~CommPort()
{
    setPortOpen(false);
}

bool CommPort::setCommPort(qint16 portNumber)
{
    if (portOpen())
        return false;
    const QString device = PortNames::deviceForPort(portNumber);
    if (device.isEmpty())
        return false;
    m_portNumber = portNumber;
    m_device = device;
    return true;
}

bool CommPort::setDevice(const QString &path)
{
    const QString device = PortNames::deviceForPath(path);
    if (portOpen() || device.isEmpty())
        return false;
    m_portNumber = 0;
    m_device = device;
    return true;
}

bool CommPort::setSettings(const CommSettings &settings)
{
    if (settings.baudRate < 1 || portOpen())
        return false;
    m_settings = settings;
    return true;
}

bool CommPort::setInBufferSize(qint16 size)
{
    if (size < 1 || portOpen())
        return false;
    m_inBufferSize = size;
    return true;
}

bool CommPort::setOutBufferSize(qint16 size)
{
    if (size < 1 || portOpen())
        return false;
    m_outBufferSize = size;
    return true;
}

bool CommPort::setHandshaking(qint32 handshaking)
{
    if (handshaking < NoHandshaking || handshaking > RtsCts || portOpen())
        return false;
    m_handshaking = handshaking;
    return true;
}

bool CommPort::setPortOpen(bool open)
{
    if (open)
        return !portOpen() && this->open();
    if (!m_port.isOpen()) {
        m_pending.clear();
        return true;
    }
    // Whatever is still queued would hold the close for as long as the line
    // takes to send it, or for ever under XOFF. Nothing is flushed after a
    // drain: on a pseudo-terminal that would throw away characters already
    // on their way to the other end. Discarding also ends a drain that
    // waits in the background.
    m_discarded = unsentOutput();
    if (m_discarded > 0)
        m_port.clear(QSerialPort::Output);
    m_pending.clear();
    // Given a moment, the released drain lets go of its descriptor first, so
    // that this close is the device's last, as it would be without one.
    m_drain.abandon(kDrainReleaseMsecs);
    m_port.close();
    return true;
}

bool CommPort::portOpen() const
{
    return m_port.isOpen();
}

bool CommPort::open()
{
    if (m_device.isEmpty())
        return false;
    m_failed = false;
    m_discarded = 0;
    m_pending.clear();
    m_lastWrite.invalidate();
    m_deviceQueued = 0;
    m_deviceFull = false;
    m_port.clearError();
    m_port.setPortName(m_device);
    m_port.setReadBufferSize(m_inBufferSize);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    const QSerialPort::FlowControl flow = m_handshaking == XonXoff  ? QSerialPort::SoftwareControl
                                          : m_handshaking == RtsCts ? QSerialPort::HardwareControl
                                                                    : QSerialPort::NoFlowControl;
    const bool applied =
        m_port.setBaudRate(m_settings.baudRate) && m_port.setDataBits(m_settings.dataBits) &&
        m_port.setParity(m_settings.parity) && m_port.setStopBits(m_settings.stopBits) &&
        m_port.setFlowControl(flow) && applyHandshaking();
    if (!applied) {
        m_port.close();
        return false;
    }
    return true;
}

qintptr CommPort::handle() const
{
    return m_port.isOpen() ? static_cast<qintptr>(m_port.handle()) : -1;
}

bool CommPort::output(const QByteArray &data)
{
    if (!m_port.isOpen() || m_failed)
        return false;
    m_pending.append(data);
    return holdForBatch() || writePending();
}

int CommPort::gatherLimitMsecs() const
{
    constexpr qint64 kBitsPerChar = 10; // start, eight data bits, stop
    const qint64 bitsPerSecond = std::max<qint64>(kBitsPerChar, m_settings.baudRate);
    return int(std::max<qint64>(1, kGatherChars * kBitsPerChar * 1000 / bitsPerSecond));
}

#ifdef Q_OS_UNIX

namespace {
constexpr int kReadChunk = 4096;
constexpr qsizetype kWriteBatch = 64;
constexpr qint64 kWriteHoldNs = 200 * 1000;
} // namespace

bool CommPort::holdForBatch() const
{
    // A caller handing over one character at a time would pay a system call
    // for each. Characters that follow a write within kWriteHoldNs wait for
    // a batch instead; the next output, wait for output or drain sends them.
    // Once the device refused characters (full, or held by XOFF), asking it
    // again for each new one is a wasted call: they wait for the next wait
    // for output, which learns when it takes characters again.
    return m_deviceFull || (m_pending.size() < kWriteBatch && m_lastWrite.isValid() &&
                            m_lastWrite.nsecsElapsed() < kWriteHoldNs);
}

bool CommPort::applyHandshaking()
{
    if (m_handshaking != XonXoff)
        return true;
    // Qt's software flow control lets any character from the drive end an
    // XOFF; only XON may, or a drive that is still busy gets more data.
    const int fd = m_port.handle();
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    tio.c_iflag = (tio.c_iflag & ~tcflag_t(IXANY)) | IXON | IXOFF;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    // tcsetattr succeeds when any one change took; look at what holds now.
    termios now{};
    if (::tcgetattr(fd, &now) != 0)
        return false;
    return (now.c_iflag & (IXON | IXOFF | IXANY)) == (IXON | IXOFF);
}

bool CommPort::writePending()
{
    const int fd = m_port.handle();
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
    if (::ioctl(m_port.handle(), TIOCOUTQ, &inDevice) != 0) {
        markFailed();
        m_deviceQueued = 0;
        return false;
    }
    m_deviceQueued = inDevice;
    return true;
}

QByteArray CommPort::input()
{
    if (!m_port.isOpen())
        return QByteArray();
    // What Qt read during the last event pump came first on the line.
    QByteArray data = m_port.bytesAvailable() > 0 ? m_port.readAll() : QByteArray();
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t count = ::read(m_port.handle(), chunk, sizeof chunk);
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

short CommPort::pollHandle(short events, int msecs)
{
    pollfd target{m_port.handle(), events, 0};
    int ready = 0;
    do {
        ready = ::poll(&target, 1, msecs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        markFailed();
        return 0;
    }
    if (target.revents & (POLLHUP | POLLERR | POLLNVAL))
        markFailed();
    return ready == 0 ? 0 : target.revents;
}

bool CommPort::waitForInput(int msecs)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.bytesAvailable() > 0)
        return true;
    return (pollHandle(POLLIN, msecs) & POLLIN) != 0;
}

void CommPort::gatherInput(int msecs)
{
    if (!m_port.isOpen() || m_failed)
        return;
    // Asking for no event at all sleeps through arriving characters and
    // still wakes on a hang-up.
    pollHandle(0, std::min(msecs, gatherLimitMsecs()));
}

qint64 CommPort::queuedOutput()
{
    if (!m_port.isOpen())
        return 0;
    // With characters still held here the device's count from the last
    // write is an upper bound, which is all a caller keeping the queue below
    // a limit needs; without any it must be exact.
    if (m_pending.isEmpty())
        readDeviceQueue();
    return m_port.bytesToWrite() + m_pending.size() + m_deviceQueued;
}

void CommPort::waitForOutput(int msecs)
{
    if (!m_port.isOpen() || m_failed)
        return;
    if (m_pending.isEmpty()) {
        // Only the device holds characters; it sends them at line speed.
        pollHandle(0, msecs);
        return;
    }
    if (pollHandle(POLLOUT, msecs) & POLLOUT)
        writePending();
}

qint64 CommPort::unsentOutput()
{
    readDeviceQueue();
    return m_port.bytesToWrite() + m_pending.size() + m_deviceQueued;
}

LinePort::DrainStatus CommPort::drain(int msecs)
{
    if (!m_port.isOpen() || m_failed || !m_pending.isEmpty())
        return DrainStatus::Failed;
    const DrainStatus status = m_drain.wait(m_port.handle(), msecs);
    if (status == DrainStatus::Failed)
        markFailed();
    return status;
}

qint64 CommPort::inBufferCount()
{
    if (!m_port.isOpen())
        return 0;
    int waiting = 0;
    if (::ioctl(m_port.handle(), FIONREAD, &waiting) != 0) {
        markFailed();
        waiting = 0;
    }
    return m_port.bytesAvailable() + waiting;
}

#else // Qt's own buffering where the handle is not a POSIX descriptor

bool CommPort::holdForBatch() const
{
    return false;
}

bool CommPort::applyHandshaking()
{
    return true;
}

bool CommPort::writePending()
{
    const qint64 written = m_port.write(m_pending);
    m_pending.clear();
    return written >= 0;
}

QByteArray CommPort::input()
{
    if (!m_port.isOpen())
        return QByteArray();
    m_port.waitForReadyRead(0);
    return m_port.readAll();
}

short CommPort::pollHandle(short, int)
{
    return 0;
}

bool CommPort::waitForInput(int msecs)
{
    return m_port.isOpen() && (m_port.bytesAvailable() > 0 || m_port.waitForReadyRead(msecs));
}

void CommPort::gatherInput(int msecs)
{
    if (m_port.isOpen())
        QThread::msleep(ulong(std::min(msecs, gatherLimitMsecs())));
}

qint64 CommPort::queuedOutput()
{
    return m_port.isOpen() ? m_port.bytesToWrite() : 0;
}

void CommPort::waitForOutput(int msecs)
{
    if (m_port.isOpen())
        m_port.waitForBytesWritten(msecs);
}

qint64 CommPort::unsentOutput()
{
    return m_port.bytesToWrite() + m_pending.size();
}

LinePort::DrainStatus CommPort::drain(int msecs)
{
    if (!m_port.isOpen() || m_failed)
        return DrainStatus::Failed;
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(msecs);
    return m_port.bytesToWrite() == 0 ? DrainStatus::Done : DrainStatus::Pending;
}

qint64 CommPort::inBufferCount()
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

#endif
