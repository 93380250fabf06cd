#pragma once

#include <QString>
#include <QtGlobal>

namespace PortNames {

// The numbered ports offered: COM1 to COM8.
constexpr qint16 kComPorts = 8;

// "COM3" for 3.
QString comName(qint16 portNumber);
// 3 for "COM3" (or "com3"); 0 for anything that is not one of the offered ports.
qint16 comNumber(const QString &name);

// The device behind COM port number portNumber (1 = COM1), or an empty text
// when the number names no port. On Windows that is "COMn". Elsewhere a link
// <settings folder>/dosdevices/comn chooses the device (resolved, so that the
// lock taken on opening names the real device); without one, /dev/ttyS<n-1>.
QString deviceForPort(qint16 portNumber);

// The same, with the folder that holds the dosdevices links given.
QString deviceForPort(qint16 portNumber, const QString &settingsFolder);

// Where the link that chooses COM port number portNumber's device lives:
// <settingsFolder>/dosdevices/comn. Windows numbers its ports itself.
QString linkPath(qint16 portNumber, const QString &settingsFolder);

// The device a path names (/dev/ttyUSB0, or a link to a device), resolved the
// same way; empty for an empty path.
QString deviceForPath(const QString &path);

} // namespace PortNames
