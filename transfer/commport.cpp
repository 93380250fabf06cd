#include "transfer/commport.h"

#include "transfer/portnames.h"

#include <algorithm>

namespace {
constexpr qsizetype kWriteBatch = 64;
constexpr qint64 kWriteHoldNs = 200 * 1000;
} // namespace

bool CommPort::setCommPort(qint16 portNumber)
{
    if (portOpen())
        return false;
    const QString device = PortNames::deviceForPort(portNumber);
    if (device.isEmpty())
        return false;
    m_portNumber = portNumber;
    m_path = device;
    return true;
}

bool CommPort::setDevice(const QString &path)
{
    const QString device = PortNames::deviceForPath(path);
    if (portOpen() || device.isEmpty())
        return false;
    m_portNumber = 0;
    m_path = device;
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

bool CommPort::setAdapterBuffer(qint32 chars)
{
    if (chars < 0 || portOpen())
        return false;
    m_adapterBuffer = chars;
    return true;
}

bool CommPort::setPortOpen(bool open)
{
    if (open)
        return !portOpen() && this->open();
    // Whatever is still queued would hold the close for as long as the line
    // takes to send it, or for ever under XOFF; discarding it also ends a
    // drain that waits in the background.
    if (portOpen()) {
        m_lineErrors = deviceLineErrors();
        m_discarded = closeDevice();
    }
    m_pending.clear();
    m_tailStarted.invalidate();
    if (m_tailEnd)
        m_tailEnd->stop();
    return true;
}

bool CommPort::open()
{
    m_openFailure = OpenFailure::None;
    if (m_path.isEmpty()) {
        m_openFailure = OpenFailure::NoDevice;
        return false;
    }
    m_failed = false;
    m_discarded = 0;
    m_lineErrors = 0;
    m_pending.clear();
    m_lastWrite.invalidate();
    m_deviceQueued = 0;
    m_deviceFull = false;
    m_tailStarted.invalidate();
    if (openDevice())
        return true;
    if (m_openFailure == OpenFailure::None)
        m_openFailure = OpenFailure::Refused;
    return false;
}

qint64 CommPort::lineErrors()
{
    if (m_device)
        m_lineErrors = deviceLineErrors();
    return m_lineErrors;
}

LinePort::DrainStatus CommPort::drain()
{
    if (m_tailStarted.isValid())
        return waitForTail();
    const DrainStatus status = deviceDrain();
    if (status != DrainStatus::Done)
        return status;
    // Gone between the last character and now: the drive may not have it.
    if (lost())
        return DrainStatus::Failed;
    if (m_adapterBuffer == 0)
        return DrainStatus::Done;
    m_tailStarted.start();
    return waitForTail();
}

LinePort::DrainStatus CommPort::waitForTail()
{
    if (!m_device || lost())
        return DrainStatus::Failed;
    // The adapter's chip sends nothing while the drive holds XOFF: its time
    // starts again once the driver lets the output go.
    if (outputHeld())
        m_tailStarted.restart();
    constexpr qint64 kBitsPerChar = 10; // start, eight data bits, stop
    const qint64 tailMsecs =
        (m_adapterBuffer * kBitsPerChar * 1000 + m_settings.baudRate - 1) / m_settings.baudRate;
    const qint64 left = tailMsecs - m_tailStarted.elapsed();
    if (left <= 0) {
        m_tailStarted.invalidate();
        return DrainStatus::Done;
    }
    // Its end wakes the loop's wait, which then asks again.
    if (!m_tailEnd) {
        m_tailEnd = std::make_unique<QTimer>();
        m_tailEnd->setSingleShot(true);
        m_tailEnd->setTimerType(Qt::PreciseTimer);
    }
    m_tailEnd->start(int(left));
    return DrainStatus::Pending;
}

bool CommPort::output(const QByteArray &data)
{
    if (!portOpen() || m_failed)
        return false;
    m_pending.append(data);
    return holdForBatch() || writePending();
}

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

int CommPort::gatherMsecs(int most) const
{
    constexpr qint64 kBitsPerChar = 10; // start, eight data bits, stop
    const qint64 bitsPerSecond = std::max<qint64>(kBitsPerChar, m_settings.baudRate);
    const qint64 limit = std::max<qint64>(1, kGatherChars * kBitsPerChar * 1000 / bitsPerSecond);
    return int(std::min<qint64>(most, limit));
}
