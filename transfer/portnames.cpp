#include "transfer/portnames.h"

#include "settings/settingsfile.h"

#include <QFileInfo>

namespace PortNames {

QString deviceForPort(qint16 portNumber)
{
    return deviceForPort(portNumber, SettingsFile::folder());
}

QString deviceForPort(qint16 portNumber, const QString &settingsFolder)
{
    if (portNumber < 1)
        return QString();
#ifdef Q_OS_WIN
    Q_UNUSED(settingsFolder);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    const QFileInfo link(settingsFolder + QStringLiteral("/dosdevices/com%1").arg(portNumber));
    if (link.isSymLink()) {
        const QString target = link.canonicalFilePath();
        // A link to nothing still names the user's choice: opening it fails
        // rather than quietly falling back to some other port.
        return target.isEmpty() ? link.symLinkTarget() : target;
    }
    if (link.exists())
        return link.absoluteFilePath();
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

} // namespace PortNames
