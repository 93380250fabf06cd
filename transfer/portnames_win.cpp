// COM numbers on Windows: the system numbers the ports itself.
#include "transfer/portnames.h"

namespace PortNames {

qint16 lastComPort()
{
    return 4096;
}

QString exampleDevice()
{
    return QStringLiteral("\\\\.\\COM3");
}

QString deviceForPort(qint16 portNumber, const QString &)
{
    if (portNumber < 1)
        return QString();
    return QStringLiteral("\\\\.\\") + comName(portNumber);
}

QString deviceForPath(const QString &path)
{
    // A device name such as \\.\COM3 is no file, and no link leads to it.
    return path;
}

} // namespace PortNames
