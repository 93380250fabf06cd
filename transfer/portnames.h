#pragma once

#include <QString>
#include <QtGlobal>

namespace PortNames {

// The device behind COM port number portNumber (1 = COM1), or an empty text
// when the number names no port. On Windows that is "COMn". Elsewhere a link
// <settings folder>/dosdevices/comn chooses the device (resolved, so that the
// lock taken on opening names the real device); without one, /dev/ttyS<n-1>.
QString deviceForPort(qint16 portNumber);

// The same, with the folder that holds the dosdevices links given.
QString deviceForPort(qint16 portNumber, const QString &settingsFolder);

// The device a path names (/dev/ttyUSB0, or a link to a device), resolved the
// same way; empty for an empty path.
QString deviceForPath(const QString &path);

} // namespace PortNames
