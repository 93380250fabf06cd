#pragma once

// Every Win32 call that reaches a serial device, and the system's lists of
// ports, through one table: the port, its drain and the listing use it, and a
// test puts a driver of its own in its place.
#include <QList>
#include <QString>
#include <QStringList>
#include <QtCore/qt_windows.h>

namespace WinCalls {

// A COM port the device manager has: "COM12", "USB Serial Port (COM12)",
// and its hardware ids ("FTDIBUS\VID_0403+PID_6001+A1B2C3\0000", ...).
struct PortDevice
{
    QString name;
    QString friendlyName;
    QStringList hardwareIds;
};

struct Table
{
    decltype(&::CreateFileW) createFile;
    decltype(&::CloseHandle) closeHandle;
    decltype(&::DuplicateHandle) duplicateHandle;
    decltype(&::ReadFile) readFile;
    decltype(&::WriteFile) writeFile;
    decltype(&::GetOverlappedResult) overlappedResult;
    decltype(&::CancelIoEx) cancelIo;
    decltype(&::WaitCommEvent) waitCommEvent;
    decltype(&::ClearCommError) clearCommError;
    decltype(&::PurgeComm) purgeComm;
    decltype(&::FlushFileBuffers) flushFileBuffers;
    decltype(&::SetupComm) setupComm;
    decltype(&::GetCommState) getCommState;
    decltype(&::SetCommState) setCommState;
    decltype(&::SetCommTimeouts) setCommTimeouts;
    decltype(&::SetCommMask) setCommMask;
    // The names HARDWARE\DEVICEMAP\SERIALCOMM holds ("COM3"), and the COM
    // ports the device manager has present: neither opens a port.
    QStringList (*serialCommNames)();
    QList<PortDevice> (*portDevices)();
    // Wine maps a port onto a terminal of the system below it, whose driver
    // behaves as no Windows driver does (commport_win.cpp says where).
    bool underWine;
};

// The table in use: the system's own unless a test replaced it.
Table &calls();
Table systemCalls();

// The driver's counts each way, through ClearCommError; false when the
// device no longer answers. The line errors it reports (overrun, receive
// overflow, framing, parity) are added to lineErrorReports(), since the call
// also clears them: whoever asks, the port or its drain, none is lost.
bool queueCounts(HANDLE device, COMSTAT &stat);
// Every line error any port of this program reported, one for each kind in
// each report: ClearCommError tells which kinds happened, not how often.
qint64 lineErrorReports();

} // namespace WinCalls
