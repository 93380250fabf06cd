// The serial port through the Win32 API: every read, write and wait is
// overlapped, so nothing holds the window thread, and the driver's own
// counts say what it holds each way. The operations themselves are the
// device's (commdevice_win.cpp); every call reaches the system through
// WinCalls' table.
#include "transfer/commport.h"

#include "transfer/commdevice_win.h"
#include "transfer/commline_win.h"

#include <algorithm>
#include <utility>

namespace {

// How long a close waits for the driver to end what it cancelled.
constexpr DWORD kCancelMsecs = 1000;

CommPort::OpenFailure failureOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_NOT_READY:
    case ERROR_SEM_TIMEOUT: // a Bluetooth port whose device does not answer
        return CommPort::OpenFailure::NoDevice;
    // Serial drivers refuse a second open as access denied: whoever has the
    // port keeps it to itself.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return CommPort::OpenFailure::Busy;
    case ERROR_PRIVILEGE_NOT_HELD:
        return CommPort::OpenFailure::NotPermitted;
    default:
        return CommPort::OpenFailure::Refused;
    }
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
    if (!device->hasEvents())
        return false;
    const WinCalls::Table &calls = WinCalls::calls();
    device->handle = calls.createFile(reinterpret_cast<const wchar_t *>(m_path.utf16()),
                                      GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (device->handle == INVALID_HANDLE_VALUE) {
        m_openFailure = failureOf(::GetLastError());
        return false;
    }
    if (!CommLine::apply(device->handle, m_settings, m_handshaking, m_inBufferSize,
                         m_outBufferSize))
        return false;
    device->startWaking([this] { onDeviceReadable(); }, [this] { onDeviceWritable(); });
    m_device = std::move(device);
    // What the driver received before the open is no answer of the drive's;
    // it goes after the line settings, whose change may garble a character.
    // A driver that cannot purge has it read and dropped instead.
    if (!calls.purgeComm(m_device->handle, PURGE_RXCLEAR))
        input();
    return true;
}

qint64 CommPort::closeDevice()
{
    Device &device = *m_device;
    const WinCalls::Table &calls = WinCalls::calls();
    device.settleWrite(m_pending);
    COMSTAT stat{};
    const qint64 held = device.counts(stat) ? qint64(stat.cbOutQue) : 0;
    // The driver's count leaves out what an adapter's chip holds, which the
    // purge clears as well: nothing goes out at the drive's next XON. Wine
    // maps the port onto another system's terminal, whose purge throws away
    // what the far end has not read yet, characters its count no longer
    // shows and that went out as sent: there only a count above 0 is purged.
    // The purge also ends a drain's flush.
    if (held > 0 || !calls.underWine)
        calls.purgeComm(device.handle, PURGE_TXABORT | PURGE_TXCLEAR);
    // Ends the write, the wait for input and a drain's flush alike.
    calls.cancelIo(device.handle, nullptr);
    qint64 unwritten = 0;
    bool ended = device.endCancelled(kCancelMsecs, unwritten);
    if (!ended) {
        // Closing the handle makes the driver end everything it holds.
        calls.closeHandle(std::exchange(device.handle, INVALID_HANDLE_VALUE));
        ended = device.endCancelled(kCancelMsecs, unwritten);
    }
    m_drain.abandon(kDrainReleaseMsecs);
    const qint64 discarded = m_pending.size() + std::max(held, unwritten);
    // A driver that never ends an operation would write into the memory
    // given to it: that little is kept rather than released, and what it
    // signals later reaches nothing.
    device.stopWaking();
    if (ended)
        m_device.reset();
    else
        (void)m_device.release();
    return discarded;
}

qintptr CommPort::handle() const
{
    return m_device ? qintptr(m_device->handle) : -1;
}

bool CommPort::writePending()
{
    Device &device = *m_device;
    m_lastWrite.start();
    bool written = device.settleWrite(m_pending);
    if (written && !device.writeBusy && !m_pending.isEmpty())
        written = device.startWrite(m_pending);
    if (!written) {
        markFailed();
        return false;
    }
    // While the driver holds a write, new characters wait for its end.
    m_deviceFull = device.writeBusy;
    return readDeviceQueue();
}

bool CommPort::readDeviceQueue()
{
    COMSTAT stat{};
    if (!m_device->counts(stat)) {
        markFailed();
        m_deviceQueued = 0;
        return false;
    }
    m_deviceQueued = stat.cbOutQue;
    return true;
}

QByteArray CommPort::input()
{
    if (!m_device)
        return QByteArray();
    COMSTAT stat{};
    if (!m_device->counts(stat))
        markFailed();
    if (stat.cbInQue == 0)
        return QByteArray();
    // Only what the driver holds already is asked for: the read never waits.
    QByteArray data(qsizetype(stat.cbInQue), Qt::Uninitialized);
    DWORD got = 0;
    if (!m_device->readHeld(data.data(), stat.cbInQue, got))
        markFailed();
    data.truncate(qsizetype(got));
    return data;
}

bool CommPort::inputWaiting()
{
    if (!m_device || m_failed)
        return portOpen();
    COMSTAT stat{};
    if (!m_device->counts(stat))
        markFailed();
    return m_failed || stat.cbInQue > 0;
}

qint64 CommPort::inBufferCount()
{
    COMSTAT stat{};
    if (!m_device)
        return 0;
    if (!m_device->counts(stat))
        markFailed();
    return stat.cbInQue;
}

qint64 CommPort::queuedOutput()
{
    if (!m_device)
        return 0;
    if (!m_device->settleWrite(m_pending))
        markFailed();
    // Once the driver's write has ended it takes characters again.
    m_deviceFull = m_device->writeBusy;
    if (!m_failed && !m_device->writeBusy && !m_pending.isEmpty() && !holdForBatch())
        writePending();
    // With characters still held here the driver's count from the last
    // write is an upper bound, which is all a caller keeping the queue below
    // a limit needs; without any it must be exact. A write the driver holds
    // counts whole until it ends.
    if (m_pending.isEmpty())
        readDeviceQueue();
    const qint64 inWrite = m_device->writeBusy ? m_device->writing.size() : 0;
    return m_pending.size() + std::max(m_deviceQueued, inWrite);
}

void CommPort::onDeviceReadable()
{
    Device &device = *m_device;
    const bool waitEnded = device.eventBusy && HasOverlappedIoCompleted(&device.event);
    COMSTAT stat{};
    if (!device.settleInputWait() || !device.counts(stat)) {
        markFailed();
    } else if (stat.cbInQue == 0) {
        // Nothing to read: a line error ended the wait, or the driver did by
        // itself. The next wait starts after a look a little later, not at
        // once: a driver that ends every wait at once would otherwise take
        // the processor for itself. That look, finding nothing, starts it.
        if (waitEnded || device.waitsEndUnasked)
            device.lookLater();
        else if (!device.watchInput(true))
            markFailed();
        if (!m_failed)
            return;
    }
    device.watchInput(false);
}

void CommPort::onDeviceWritable()
{
    Device &device = *m_device;
    if (!device.settleWrite(m_pending))
        markFailed();
    m_deviceFull = device.writeBusy;
    if (!m_failed && !device.writeBusy && !m_pending.isEmpty())
        writePending();
    // Its event stays signalled once the write has ended: with none
    // running, it would fire for ever.
    if (!device.writeBusy || m_failed)
        device.outputWake->setEnabled(false);
}

void CommPort::wakeOn(Wake what)
{
    if (!m_device)
        return;
    Device &device = *m_device;
    if (!device.watchInput(what == Wake::Input && !m_failed)) {
        markFailed();
        device.watchInput(false);
    }
    // What is held here goes to the driver now; its end wakes the loop.
    if (what == Wake::Output && !m_failed && !device.writeBusy && !m_pending.isEmpty())
        writePending();
    device.outputWake->setEnabled(what == Wake::Output && device.writeBusy && !m_failed);
}

LinePort::DrainStatus CommPort::deviceDrain()
{
    if (!m_device || m_failed || !m_pending.isEmpty() || m_device->writeBusy)
        return DrainStatus::Failed;
    const DrainStatus status = m_drain.status(qintptr(m_device->handle));
    if (status == DrainStatus::Failed)
        markFailed();
    return status;
}

bool CommPort::lost()
{
    if (!m_device || m_failed)
        return m_failed;
    // A wait for input that ended aborted tells of a removal too.
    COMSTAT stat{};
    if (!m_device->settleInputWait() || !m_device->counts(stat))
        markFailed();
    return m_failed;
}

bool CommPort::outputHeld()
{
    // fXoffHold: the drive's XOFF holds the driver's output.
    COMSTAT stat{};
    return m_device && m_device->counts(stat) && stat.fXoffHold;
}

qint64 CommPort::deviceLineErrors()
{
    if (!m_device)
        return 0;
    // Asked now, so that the last report is in.
    COMSTAT stat{};
    m_device->counts(stat);
    return WinCalls::lineErrorReports() - m_device->lineErrorsBefore;
}
