// Where the settings live on Linux and other Unix systems, and how a name
// is written in them.
#include "settings/settingsfile.h"

#include <QStandardPaths>

namespace SettingsFile {

QString folder()
{
    const QString windir = qEnvironmentVariable("windir");
    if (!windir.isEmpty())
        return windir;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillet");
}

// Every user writes the folder above: there is no second place.
QString personalPath()
{
    return QString();
}

// The locale's encoding holds every name the system gives a file.
QByteArray nameToLine(const QString &name)
{
    return name.toLocal8Bit();
}

QString nameFromLine(const QByteArray &line)
{
    return QString::fromLocal8Bit(line);
}

} // namespace SettingsFile
