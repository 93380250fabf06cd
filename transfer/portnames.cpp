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
    const QString link = settingsFolder + QStringLiteral("/dosdevices/com%1").arg(portNumber);
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return deviceForPath(link);
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
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
