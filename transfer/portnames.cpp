#include "transfer/portnames.h"

#include "settings/settingsfile.h"

#include <QFileInfo>

namespace PortNames {

QString comName(qint16 portNumber)
{
    return QStringLiteral("COM%1").arg(portNumber);
}

qint16 comNumber(const QString &name)
{
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    bool isNumber = false;
    const int number = name.mid(3).toInt(&isNumber);
    // Only the plain digits: "COM01" and "COM+1" name no port.
    if (!isNumber || QString::number(number) != name.mid(3) || number < 1 || number > kLastComPort)
        return 0;
    return static_cast<qint16>(number);
}

QString portChoices()
{
#ifdef Q_OS_WIN
    const QString example = QStringLiteral("\\\\.\\COM3");
#else
    const QString example = QStringLiteral("/dev/ttyUSB0");
#endif
    return QStringLiteral("COM1 to COM%1, or a device path such as %2")
        .arg(kLastComPort)
        .arg(example);
}

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
    return QStringLiteral("\\\\.\\") + comName(portNumber);
#else
    const QString link = linkPath(portNumber, settingsFolder);
    if (QFileInfo(link).isSymLink() || QFileInfo::exists(link))
        return deviceForPath(link);
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

QString linkPath(qint16 portNumber, const QString &settingsFolder)
{
    return settingsFolder + QStringLiteral("/dosdevices/com%1").arg(portNumber);
}

QString deviceForPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    // A device name such as \\.\COM3 is no file, and no link leads to it.
    return path;
#else
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        // A link to nothing still names the user's choice: opening it fails
        // rather than quietly falling back to some other port.
        return target.isEmpty() ? info.symLinkTarget() : target;
    }
    return info.absoluteFilePath();
#endif
}

} // namespace PortNames
