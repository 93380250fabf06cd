#pragma once

#include <QString>
#include <QtGlobal>

namespace PortNames {

// The numbered ports always offered: COM1 to COM8.
constexpr qint16 kComPorts = 8;
// The highest number a COM name may give. Windows numbers ports past COM8
// itself (USB adapters often get COM9 to COM20; its port database goes up
// to COM4096); elsewhere COM1 to COM8 are all there are, each led to a
// device of the user's choice.
qint16 lastComPort();

// "COM3" for 3.
QString comName(qint16 portNumber);
// 3 for "COM3" (or "com3"); 0 for anything that is not COM1 to COM<kLastComPort>.
qint16 comNumber(const QString &name);
// What a port may be given as, in the command's words: "COM1 to COM8, or a
// device path such as /dev/ttyUSB0".
QString portChoices();

// The device behind COM port number portNumber (1 = COM1), or an empty text
// when the number names no port. On Windows that is "\\.\COMn", the name
// that opens any COM number. Elsewhere a link
// <settings folder>/dosdevices/comn chooses the device (resolved, so that the
// lock taken on opening names the real device); without one, /dev/ttyS<n-1>.
QString deviceForPort(qint16 portNumber);

// The same, with the folder that holds the dosdevices links given.
QString deviceForPort(qint16 portNumber, const QString &settingsFolder);

// Where the link that chooses COM port number portNumber's device lives:
// <settingsFolder>/dosdevices/comn. Windows numbers its ports itself.
QString linkPath(qint16 portNumber, const QString &settingsFolder);

// The device a path names (/dev/ttyUSB0, or a link to a device), resolved the
// same way; on Windows the path as it is. Empty for an empty path.
QString deviceForPath(const QString &path);

// A device path as the system writes one, for the command's help.
QString exampleDevice();

// Each system's half of the above: portnames_posix.cpp, portnames_win.cpp.

} // namespace PortNames
