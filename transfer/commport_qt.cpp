// The serial port where the handle is not a POSIX descriptor: Qt's own
// buffering and waits.
#include "transfer/commport.h"

#ifndef Q_OS_UNIX

#include <QThread>

#include <algorithm>

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

#endif // !Q_OS_UNIX
