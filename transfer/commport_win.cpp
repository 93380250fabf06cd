// The serial port through the Win32 API: every read, write and wait is
// overlapped, so nothing holds the window thread, and the driver's own
// counts say what it holds each way.
#include "transfer/commport.h"

#include "transfer/commline_win.h"

#include <QtCore/qt_windows.h>
#include <QTimer>
#include <QWinEventNotifier>

#include <algorithm>
#include <utility>

namespace {

// How long a close waits for the driver to end what it cancelled.
constexpr DWORD kCancelMsecs = 1000;
// How often the driver's count of received characters is looked at when
// its waits for them end by themselves.
constexpr int kLookMsecs = 10;

HANDLE newEvent()
{
    // Manual reset: it stays signalled once an operation has ended, until
    // the next one starts, so no end is missed.
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

struct CommPort::Device
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The write the driver holds: its characters stay here until it ends.
    OVERLAPPED write{};
    QByteArray writing;
    bool writeBusy = false;
    // The wait for characters to arrive.
    OVERLAPPED event{};
    DWORD eventMask = 0;
    bool eventBusy = false;
    // The driver ends a wait for characters by itself, with nothing to
    // report, while the port still answers: Wine's does so on a
    // pseudo-terminal, whose modem lines it cannot read. Its count of
    // received characters is then looked at every kLookMsecs instead.
    bool waitsEndUnasked = false;
    QTimer inputLook;
    OVERLAPPED read{};
    // Wake the event loop when the wait for characters ends, only while the
    // loop waits for them, and when the write ends, only while the loop
    // waits for room.
    std::unique_ptr<QWinEventNotifier> inputWake;
    std::unique_ptr<QWinEventNotifier> outputWake;

    Device()
    {
        write.hEvent = newEvent();
        event.hEvent = newEvent();
        read.hEvent = newEvent();
    }
    ~Device()
    {
        inputWake.reset();
        outputWake.reset();
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
        for (HANDLE used : {write.hEvent, event.hEvent, read.hEvent}) {
            if (used)
                ::CloseHandle(used);
        }
    }
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    bool hasEvents() const { return write.hEvent && event.hEvent && read.hEvent; }

    // The driver's counts each way; false when the device is lost.
    bool counts(COMSTAT &stat)
    {
        DWORD errors = 0;
        return ::ClearCommError(handle, &errors, &stat) != 0;
    }

    // Collects the write if it has ended; what a driver left of it goes
    // back in front of pending. False when it failed.
    bool settleWrite(QByteArray &pending)
    {
        if (!writeBusy || !HasOverlappedIoCompleted(&write))
            return true;
        DWORD count = 0;
        const bool ended = ::GetOverlappedResult(handle, &write, &count, FALSE);
        writeBusy = false;
        if (ended && count < DWORD(writing.size()))
            pending.prepend(writing.mid(count));
        writing.clear();
        return ended;
    }

    // Hands all of pending to the driver in one write.
    bool startWrite(QByteArray &pending)
    {
        writing = std::exchange(pending, QByteArray());
        ::ResetEvent(write.hEvent);
        writeBusy =
            ::WriteFile(handle, writing.constData(), DWORD(writing.size()), nullptr, &write) ||
            ::GetLastError() == ERROR_IO_PENDING;
        return writeBusy && settleWrite(pending);
    }

    // Collects the wait for characters if it has ended; false when the
    // port failed.
    bool settleInputWait()
    {
        if (!eventBusy || !HasOverlappedIoCompleted(&event))
            return true;
        DWORD unused = 0;
        eventBusy = false;
        if (::GetOverlappedResult(handle, &event, &unused, FALSE))
            return true;
        COMSTAT stat{};
        waitsEndUnasked = ::GetLastError() == ERROR_OPERATION_ABORTED && counts(stat);
        return waitsEndUnasked;
    }

    // Starts a wait for characters unless one runs or the driver's waits
    // end by themselves.
    bool armInputWait()
    {
        if (!settleInputWait())
            return false;
        if (eventBusy || waitsEndUnasked)
            return true;
        ::ResetEvent(event.hEvent);
        eventBusy =
            ::WaitCommEvent(handle, &eventMask, &event) || ::GetLastError() == ERROR_IO_PENDING;
        return eventBusy;
    }

    // Whether characters arriving wake the event loop, by the wait's end or
    // by the look at the driver's count.
    void wakeOnInput(bool on)
    {
        inputWake->setEnabled(on && !waitsEndUnasked);
        if (on && waitsEndUnasked)
            inputLook.start(kLookMsecs);
        else
            inputLook.stop();
    }

    // Reads count characters, which the driver holds already, into data.
    bool readHeld(char *data, DWORD count, DWORD &got)
    {
        ::ResetEvent(read.hEvent);
        if (::ReadFile(handle, data, count, nullptr, &read) || ::GetLastError() == ERROR_IO_PENDING)
            return ::GetOverlappedResult(handle, &read, &got, TRUE);
        return false;
    }

    // Waits up to msecs for the cancelled operations to end; what the write
    // never wrote goes to unwritten.
    bool endCancelled(DWORD msecs, qint64 &unwritten)
    {
        for (OVERLAPPED *io : {&write, &event}) {
            const bool busy = io == &write ? writeBusy : eventBusy;
            if (busy && ::WaitForSingleObject(io->hEvent, msecs) != WAIT_OBJECT_0)
                return false;
        }
        DWORD count = 0;
        if (writeBusy && !::GetOverlappedResult(handle, &write, &count, FALSE))
            unwritten = writing.size() - qint64(count);
        writeBusy = false;
        eventBusy = false;
        return true;
    }
};

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
    device->handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()),
                                   GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr);
    if (device->handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        m_openFailure = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                            ? OpenFailure::NoDevice
                        : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                            ? OpenFailure::Busy
                            : OpenFailure::Refused;
        return false;
    }
    if (!CommLine::apply(device->handle, m_settings, m_handshaking, m_inBufferSize,
                         m_outBufferSize))
        return false;
    device->inputWake = std::make_unique<QWinEventNotifier>(device->event.hEvent);
    device->inputWake->setEnabled(false);
    QObject::connect(device->inputWake.get(), &QWinEventNotifier::activated,
                     device->inputWake.get(), [this] { onDeviceReadable(); });
    QObject::connect(&device->inputLook, &QTimer::timeout, &device->inputLook,
                     [this] { onDeviceReadable(); });
    device->outputWake = std::make_unique<QWinEventNotifier>(device->write.hEvent);
    device->outputWake->setEnabled(false);
    QObject::connect(device->outputWake.get(), &QWinEventNotifier::activated,
                     device->outputWake.get(), [this] { onDeviceWritable(); });
    m_device = std::move(device);
    return true;
}

qint64 CommPort::closeDevice()
{
    Device &device = *m_device;
    device.settleWrite(m_pending);
    COMSTAT stat{};
    const qint64 held = device.counts(stat) ? qint64(stat.cbOutQue) : 0;
    // Purged only when the driver says it holds characters: one that maps
    // the port onto another system's terminal (Wine) throws away what that
    // terminal took and the far end has not read yet, characters already
    // counted as sent. The purge also ends a drain's flush.
    if (held > 0)
        ::PurgeComm(device.handle, PURGE_TXABORT | PURGE_TXCLEAR);
    // Ends the write, the wait for input and a drain's flush alike.
    ::CancelIoEx(device.handle, nullptr);
    qint64 unwritten = 0;
    bool ended = device.endCancelled(kCancelMsecs, unwritten);
    if (!ended) {
        // Closing the handle makes the driver end everything it holds.
        ::CloseHandle(std::exchange(device.handle, INVALID_HANDLE_VALUE));
        ended = device.endCancelled(kCancelMsecs, unwritten);
    }
    m_drain.abandon(kDrainReleaseMsecs);
    const qint64 discarded = m_pending.size() + std::max(held, unwritten);
    // A driver that never ends an operation would write into the memory
    // given to it: that little is kept rather than released.
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
    else if (!m_device->writeBusy && !m_pending.isEmpty() && !holdForBatch())
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
    COMSTAT stat{};
    if (!device.settleInputWait() || !device.counts(stat))
        markFailed();
    // A line error, or a wait that ended with nothing to read, is no input:
    // the wait goes on.
    else if (stat.cbInQue == 0 && device.armInputWait()) {
        device.wakeOnInput(true);
        return;
    }
    device.wakeOnInput(false);
}

void CommPort::onDeviceWritable()
{
    Device &device = *m_device;
    if (!device.settleWrite(m_pending))
        markFailed();
    else if (!device.writeBusy && !m_pending.isEmpty())
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
    const bool input = what == Wake::Input && !m_failed;
    if (input && !device.armInputWait())
        markFailed();
    device.wakeOnInput(input && !m_failed);
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
    COMSTAT stat{};
    if (!m_device->counts(stat))
        markFailed();
    return m_failed;
}

bool CommPort::outputHeld()
{
    COMSTAT stat{};
    return m_device && m_device->counts(stat) && stat.fXoffHold;
}

qint64 CommPort::deviceLineErrors()
{
    return 0;
}
