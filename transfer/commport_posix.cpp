// The serial port on a POSIX descriptor: reads, writes, waits and the
// queue count straight on the handle, where Qt's own buffering would hide
// what the line is doing.
#include "transfer/commport.h"

#ifdef Q_OS_UNIX

#include <QSerialPort>
#include <QSocketNotifier>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

struct CommPort::Device
{
    QSerialPort port;
    // Wake the event loop when characters arrive, only while the loop waits
    // for them, and when the device takes characters again, only while the
    // loop waits for room and characters are held here. Gone before the
    // port closes.
    std::unique_ptr<QSocketNotifier> readable;
    std::unique_ptr<QSocketNotifier> writable;

    int fd() const { return int(port.handle()); }
};

namespace {

constexpr int kReadChunk = 4096;

// Qt reports a read that found nothing as a read error too, so only the
// loss of the device itself counts; the port's own reads and writes see the
// rest where it happens.
bool isLinkFailure(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError;
}

bool applyXonXoff(int fd)
{
    // Qt's software flow control lets any character from the drive end an
    // XOFF; only XON may, or a drive that is still busy gets more data.
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

bool applyLine(QSerialPort &port, const CommSettings &settings, qint32 handshaking)
{
    const QSerialPort::FlowControl flow =
        handshaking == CommPort::XonXoff  ? QSerialPort::SoftwareControl
        : handshaking == CommPort::RtsCts ? QSerialPort::HardwareControl
                                          : QSerialPort::NoFlowControl;
    const QSerialPort::Parity parity =
        settings.parity == CommSettings::Parity::Even  ? QSerialPort::EvenParity
        : settings.parity == CommSettings::Parity::Odd ? QSerialPort::OddParity
                                                       : QSerialPort::NoParity;
    const QSerialPort::StopBits stopBits = settings.stopBits == CommSettings::StopBits::Two
                                               ? QSerialPort::TwoStop
                                               : QSerialPort::OneStop;
    return port.setBaudRate(settings.baudRate) &&
           port.setDataBits(QSerialPort::DataBits(settings.dataBits)) && port.setParity(parity) &&
           port.setStopBits(stopBits) && port.setFlowControl(flow) &&
           (handshaking != CommPort::XonXoff || applyXonXoff(int(port.handle())));
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
    QSerialPort &port = device->port;
    // Whatever Qt itself meets of the device (opening it, and reading it,
    // should it ever do so) may be the first news of a lost device.
    QObject::connect(&port, &QSerialPort::errorOccurred, &port,
                     [this](QSerialPort::SerialPortError error) {
                         if (isLinkFailure(error))
                             markFailed();
                     });
    port.setPortName(m_path);
    // The loop reads the device itself (below); were Qt to read it too, it
    // would hold no more than one character ahead of the loop's read.
    port.setReadBufferSize(1);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    if (!applyLine(port, m_settings, m_handshaking))
        return false;
    // Qt would read the device whenever the event loop runs, waking the
    // program for every character or two that comes; the loop reads it
    // itself, in one go, when it asks. Should Qt switch its reading on again,
    // input() still returns what it took first.
    for (QSocketNotifier *own : port.findChildren<QSocketNotifier *>())
        own->setEnabled(false);
    device->readable = std::make_unique<QSocketNotifier>(device->fd(), QSocketNotifier::Read);
    device->readable->setEnabled(false);
    QObject::connect(device->readable.get(), &QSocketNotifier::activated, device->readable.get(),
                     [this] { onDeviceReadable(); });
    device->writable = std::make_unique<QSocketNotifier>(device->fd(), QSocketNotifier::Write);
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
    const qint64 discarded = m_device->port.bytesToWrite() + m_pending.size() + m_deviceQueued;
    if (discarded > m_pending.size())
        m_device->port.clear(QSerialPort::Output);
    m_drain.abandon(kDrainReleaseMsecs);
    m_device.reset();
    return discarded;
}

qintptr CommPort::handle() const
{
    return m_device ? qintptr(m_device->fd()) : -1;
}

bool CommPort::writePending()
{
    const int fd = m_device->fd();
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
    if (::ioctl(m_device->fd(), TIOCOUTQ, &inDevice) != 0) {
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
    // What Qt read during the last event pump came first on the line.
    QSerialPort &port = m_device->port;
    QByteArray data = port.bytesAvailable() > 0 ? port.readAll() : QByteArray();
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t count = ::read(m_device->fd(), chunk, sizeof chunk);
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
    if (!m_device || m_failed || m_device->port.bytesAvailable() > 0)
        return portOpen();
    pollfd target{m_device->fd(), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&target, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // A hung-up line reads as empty for ever: only the poll tells.
    if (ready < 0 || (target.revents & (POLLHUP | POLLERR | POLLNVAL)))
        markFailed();
    return ready != 0;
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
    return m_device->port.bytesToWrite() + m_pending.size() + m_deviceQueued;
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

LinePort::DrainStatus CommPort::drain()
{
    if (!m_device || m_failed || !m_pending.isEmpty())
        return DrainStatus::Failed;
    const DrainStatus status = m_drain.status(m_device->fd());
    if (status == DrainStatus::Failed)
        markFailed();
    return status;
}

qint64 CommPort::inBufferCount()
{
    if (!m_device)
        return 0;
    int waiting = 0;
    if (::ioctl(m_device->fd(), FIONREAD, &waiting) != 0) {
        markFailed();
        waiting = 0;
    }
    return m_device->port.bytesAvailable() + waiting;
}

#endif // Q_OS_UNIX
