#pragma once

// The open port on Windows: its handle, the overlapped write, wait for input
// and read the driver holds, and what wakes the event loop for them.
#include "transfer/commport.h"
#include "transfer/wincalls_win.h"

#include <QByteArray>
#include <QTimer>
#include <QWinEventNotifier>

#include <functional>
#include <memory>

struct CommPort::Device
{
    // How often the driver's count of received characters is looked at when
    // its waits for them end by themselves, and how long after a wait that
    // ended with nothing to read the next one starts.
    static constexpr int kLookMsecs = 10;

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
    OVERLAPPED read{};
    // The line errors of every port so far: this one counts from here.
    const qint64 lineErrorsBefore = WinCalls::lineErrorReports();
    // Wake the event loop when the wait for characters ends, only while the
    // loop waits for them, and when the write ends, only while the loop
    // waits for room.
    std::unique_ptr<QWinEventNotifier> inputWake;
    std::unique_ptr<QWinEventNotifier> outputWake;
    std::unique_ptr<QTimer> inputLook;

    Device();
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    // What wakes the event loop: the wait for input's end and the looks at
    // the driver's count call onInput, the write's end onOutput. Disabled
    // until asked for.
    void startWaking(const std::function<void()> &onInput, const std::function<void()> &onOutput);
    bool hasEvents() const { return write.hEvent && event.hEvent && read.hEvent; }
    // The driver's counts each way; false when the device is lost.
    bool counts(COMSTAT &stat) { return WinCalls::queueCounts(handle, stat); }
    // Collects the write if it has ended; what a driver left of it goes
    // back in front of pending. False when it failed.
    bool settleWrite(QByteArray &pending);
    // Hands all of pending to the driver in one write.
    bool startWrite(QByteArray &pending);
    // Collects the wait for characters if it has ended; false when the
    // port is lost.
    bool settleInputWait();
    // Starts a wait for characters unless one runs or the driver's waits
    // end by themselves.
    bool armInputWait();
    // Whether characters arriving wake the event loop, by the wait's end or
    // by the look at the driver's count; false when the port is lost. A look
    // that is due already starts the next wait itself.
    bool watchInput(bool on);
    // After a wait that ended with nothing to read: the count is looked at
    // again kLookMsecs later, and only then a new wait starts.
    void lookLater();
    // Reads count characters, which the driver holds already, into data.
    bool readHeld(char *data, DWORD count, DWORD &got);
    // Waits up to msecs for the cancelled operations to end; what the write
    // never wrote goes to unwritten.
    bool endCancelled(DWORD msecs, qint64 &unwritten);
    // Nothing the driver does from now on reaches the port: for a device
    // left behind with operations the driver never ended.
    void stopWaking();
};
