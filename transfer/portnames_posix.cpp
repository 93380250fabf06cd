// COM numbers on Linux and other Unix systems: COM1 to COM8, each a link in
// the settings folder to a device of the user's choice.
#include "transfer/portnames.h"

#include <QFileInfo>

namespace PortNames {

qint16 lastComPort()
{
    return kComPorts;
}

QString exampleDevice()
{
    return QStringLiteral("/dev/ttyUSB0");
}

QString deviceForPort(qint16 portNumber, const QString &settingsFolder)
{
    if (portNumber < 1)
        return QString();
    const QString link = linkPath(portNumber, settingsFolder);
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return deviceForPath(link);
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

QString deviceForPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        // A link to nothing still names the user's choice: opening it fails
        // rather than quietly falling back to some other port.
        return target.isEmpty() ? info.symLinkTarget() : target;
    }
    return info.absoluteFilePath();
}

} // namespace PortNames
