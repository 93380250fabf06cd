// The serial port on a POSIX descriptor: reads, writes, waits and the
// queue count straight on the handle, where Qt's own buffering would hide
// what the line is doing.
#include "transfer/commport.h"

#ifdef Q_OS_UNIX

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

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

bool CommPort::inputWaiting()
{
    if (!m_port.isOpen() || m_failed || m_port.bytesAvailable() > 0)
        return m_port.isOpen();
    pollfd target{m_port.handle(), POLLIN, 0};
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
    if (!m_port.isOpen())
        return 0;
    // With characters still held here the device's count from the last
    // write is an upper bound, which is all a caller keeping the queue below
    // a limit needs; without any it must be exact.
    if (m_pending.isEmpty())
        readDeviceQueue();
    return m_port.bytesToWrite() + m_pending.size() + m_deviceQueued;
}

void CommPort::onDeviceWritable()
{
    if (!m_pending.isEmpty())
        writePending();
    // Level-triggered: with nothing left to hand over, it would fire for ever.
    if (m_pending.isEmpty() || m_failed)
        m_writable->setEnabled(false);
}

void CommPort::startWakes()
{
    // Qt would read the device whenever the event loop runs, waking the
    // program for every character or two that comes; the loop reads it
    // itself, in one go, when it asks. Should Qt switch its reading on again,
    // input() still returns what it took first.
    for (QSocketNotifier *own : m_port.findChildren<QSocketNotifier *>())
        own->setEnabled(false);
    const int fd = m_port.handle();
    m_readable = new QSocketNotifier(fd, QSocketNotifier::Read);
    m_readable->setEnabled(false);
    // Level-triggered: once is enough to end the wait, which then reads.
    QObject::connect(m_readable, &QSocketNotifier::activated, m_readable,
                     [this] { m_readable->setEnabled(false); });
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write);
    m_writable->setEnabled(false);
    QObject::connect(m_writable, &QSocketNotifier::activated, m_writable,
                     [this] { onDeviceWritable(); });
}

void CommPort::stopWakes()
{
    delete std::exchange(m_readable, nullptr);
    delete std::exchange(m_writable, nullptr);
}

void CommPort::wakeOn(Wake what)
{
    if (m_readable)
        m_readable->setEnabled(what == Wake::Input && !m_failed);
    if (m_writable)
        m_writable->setEnabled(what == Wake::Output && !m_pending.isEmpty() && !m_failed);
}

qint64 CommPort::unsentOutput()
{
    readDeviceQueue();
    return m_port.bytesToWrite() + m_pending.size() + m_deviceQueued;
}

LinePort::DrainStatus CommPort::drain()
{
    if (!m_port.isOpen() || m_failed || !m_pending.isEmpty())
        return DrainStatus::Failed;
    const DrainStatus status = m_drain.status(m_port.handle());
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

#endif // Q_OS_UNIX
