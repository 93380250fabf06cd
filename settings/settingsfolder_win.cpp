// Where the settings live on Windows: the Windows folder, or the user's own
// application data when that folder cannot be written.
#include "settings/settingsfile.h"

namespace SettingsFile {

QString folder()
{
    const QString windir = qEnvironmentVariable("windir");
    if (!windir.isEmpty())
        return windir;
    return QString(); // the root of the current drive
}

QString personalPath()
{
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData + QStringLiteral("/Quillet/") + kFileName;
    return QString();
}

} // namespace SettingsFile
