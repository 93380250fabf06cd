// Windows numbers the COM ports itself: there is no link to make.
#include "transfer/portmap.h"

#include "transfer/portnames.h"

namespace PortMap {

namespace {

Result refused(qint16 portNumber, const QString &settingsFolder)
{
    Result result;
    result.link = PortNames::linkPath(portNumber, settingsFolder);
    result.message =
        QStringLiteral("Windows numbers the COM ports itself; there is no link to make.");
    return result;
}

} // namespace

Result map(qint16 portNumber, const QString &, const QString &settingsFolder, const QString &)
{
    return refused(portNumber, settingsFolder);
}

Result unmap(qint16 portNumber, const QString &settingsFolder)
{
    return refused(portNumber, settingsFolder);
}

} // namespace PortMap
