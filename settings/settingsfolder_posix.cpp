// Where the settings live on Linux and other Unix systems.
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

} // namespace SettingsFile
