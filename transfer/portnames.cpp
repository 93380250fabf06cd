#include "transfer/portnames.h"

#include "settings/settingsfile.h"

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
    if (!isNumber || QString::number(number) != name.mid(3) || number < 1 || number > lastComPort())
        return 0;
    return static_cast<qint16>(number);
}

QString portChoices()
{
    return QStringLiteral("COM1 to COM%1, or a device path such as %2")
        .arg(lastComPort())
        .arg(exampleDevice());
}

QString deviceForPort(qint16 portNumber)
{
    return deviceForPort(portNumber, SettingsFile::folder());
}

QString linkPath(qint16 portNumber, const QString &settingsFolder)
{
    return settingsFolder + QStringLiteral("/dosdevices/com%1").arg(portNumber);
}

} // namespace PortNames
