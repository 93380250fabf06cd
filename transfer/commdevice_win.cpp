// The overlapped operations of an open Windows port.
#include "transfer/commdevice_win.h"

#include <utility>

namespace {

HANDLE newEvent()
{
    // Manual reset: it stays signalled once an operation has ended, until
    // the next one starts, so no end is missed.
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

// The driver holds the operation: it ends later and signals its event.
bool started(BOOL done)
{
    return done || ::GetLastError() == ERROR_IO_PENDING;
}

} // namespace

CommPort::Device::Device()
{
    write.hEvent = newEvent();
    event.hEvent = newEvent();
    read.hEvent = newEvent();
}

CommPort::Device::~Device()
{
    stopWaking();
    if (handle != INVALID_HANDLE_VALUE)
        WinCalls::calls().closeHandle(handle);
    for (HANDLE used : {write.hEvent, event.hEvent, read.hEvent}) {
        if (used)
            ::CloseHandle(used);
    }
}

void CommPort::Device::startWaking(const std::function<void()> &onInput,
                                   const std::function<void()> &onOutput)
{
    inputWake = std::make_unique<QWinEventNotifier>(event.hEvent);
    inputWake->setEnabled(false);
    QObject::connect(inputWake.get(), &QWinEventNotifier::activated, inputWake.get(), onInput);
    inputLook = std::make_unique<QTimer>();
    inputLook->setSingleShot(true);
    QObject::connect(inputLook.get(), &QTimer::timeout, inputLook.get(), onInput);
    outputWake = std::make_unique<QWinEventNotifier>(write.hEvent);
    outputWake->setEnabled(false);
    QObject::connect(outputWake.get(), &QWinEventNotifier::activated, outputWake.get(), onOutput);
}

bool CommPort::Device::settleWrite(QByteArray &pending)
{
    if (!writeBusy || !HasOverlappedIoCompleted(&write))
        return true;
    DWORD count = 0;
    const bool ended = WinCalls::calls().overlappedResult(handle, &write, &count, FALSE);
    writeBusy = false;
    if (ended && count < DWORD(writing.size()))
        pending.prepend(writing.mid(count));
    writing.clear();
    return ended;
}

bool CommPort::Device::startWrite(QByteArray &pending)
{
    writing = std::exchange(pending, QByteArray());
    ::ResetEvent(write.hEvent);
    writeBusy = started(WinCalls::calls().writeFile(handle, writing.constData(),
                                                    DWORD(writing.size()), nullptr, &write));
    return writeBusy && settleWrite(pending);
}

bool CommPort::Device::settleInputWait()
{
    if (!eventBusy || !HasOverlappedIoCompleted(&event))
        return true;
    DWORD unused = 0;
    eventBusy = false;
    if (WinCalls::calls().overlappedResult(handle, &event, &unused, FALSE))
        return true;
    // A wait ends aborted when the device goes: FTDI's driver tells the
    // removal so, while the handle may still answer for a while. Only Wine
    // ends waits so on a port that still works.
    COMSTAT stat{};
    waitsEndUnasked =
        ::GetLastError() == ERROR_OPERATION_ABORTED && WinCalls::calls().underWine && counts(stat);
    return waitsEndUnasked;
}

bool CommPort::Device::armInputWait()
{
    if (!settleInputWait())
        return false;
    if (eventBusy || waitsEndUnasked)
        return true;
    ::ResetEvent(event.hEvent);
    eventBusy = started(WinCalls::calls().waitCommEvent(handle, &eventMask, &event));
    return eventBusy;
}

bool CommPort::Device::watchInput(bool on)
{
    if (!on) {
        inputWake->setEnabled(false);
        inputLook->stop();
        return true;
    }
    if (inputLook->isActive())
        return true;
    if (!armInputWait())
        return false;
    if (waitsEndUnasked)
        inputLook->start(kLookMsecs);
    else
        inputWake->setEnabled(true);
    return true;
}

void CommPort::Device::lookLater()
{
    // The ended wait's event stays signalled: its notifier would fire at once.
    inputWake->setEnabled(false);
    inputLook->start(kLookMsecs);
}

bool CommPort::Device::readHeld(char *data, DWORD count, DWORD &got)
{
    const WinCalls::Table &calls = WinCalls::calls();
    ::ResetEvent(read.hEvent);
    return started(calls.readFile(handle, data, count, nullptr, &read)) &&
           calls.overlappedResult(handle, &read, &got, TRUE);
}

bool CommPort::Device::endCancelled(DWORD msecs, qint64 &unwritten)
{
    const auto ends = [msecs](bool busy, OVERLAPPED &io) {
        return !busy || ::WaitForSingleObject(io.hEvent, msecs) == WAIT_OBJECT_0;
    };
    const bool writeEnded = ends(writeBusy, write);
    // A write the driver never ended may go out yet, or never: the drive
    // may not have it.
    if (writeBusy)
        unwritten = writing.size();
    if (writeBusy && writeEnded) {
        DWORD count = 0;
        WinCalls::calls().overlappedResult(handle, &write, &count, FALSE);
        unwritten = writing.size() - qint64(count);
        writeBusy = false;
    }
    if (!writeEnded || !ends(eventBusy, event))
        return false;
    eventBusy = false;
    return true;
}

void CommPort::Device::stopWaking()
{
    inputWake.reset();
    outputWake.reset();
    inputLook.reset();
}
