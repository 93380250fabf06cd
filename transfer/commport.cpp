#include "transfer/commport.h"

#include "transfer/portnames.h"

#include <algorithm>

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
    // Whatever Qt itself meets of the device (opening it, and reading it,
    // should it ever do so) may be the first news of a lost device.
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
    // takes to send it, or for ever under XOFF. The device is flushed only
    // when it says it holds characters: a pseudo-terminal says it holds
    // none, yet a flush throws away what it took and the other end has not
    // read, characters already counted as sent. Discarding also ends a
    // drain that waits in the background.
    m_discarded = unsentOutput();
    if (m_discarded > m_pending.size())
        m_port.clear(QSerialPort::Output);
    m_pending.clear();
    // Given a moment, the released drain lets go of its descriptor first, so
    // that this close is the device's last, as it would be without one.
    m_drain.abandon(kDrainReleaseMsecs);
    stopWakes();
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
    // The loop reads the device itself (startWakes); were Qt to read it too,
    // it would hold no more than one character ahead of the loop's read.
    m_port.setReadBufferSize(1);
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
    startWakes();
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

int CommPort::gatherMsecs(int most) const
{
    constexpr qint64 kBitsPerChar = 10; // start, eight data bits, stop
    const qint64 bitsPerSecond = std::max<qint64>(kBitsPerChar, m_settings.baudRate);
    const qint64 limit = std::max<qint64>(1, kGatherChars * kBitsPerChar * 1000 / bitsPerSecond);
    return int(std::min<qint64>(most, limit));
}
