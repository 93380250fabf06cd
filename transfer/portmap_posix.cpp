// Links from COM numbers to devices, in the settings folder.
#include "transfer/portmap.h"

#include "transfer/portnames.h"
#include "transfer/serialports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace PortMap {

namespace {

Result refused(Result result, const QString &why)
{
    result.done = false;
    result.message = why;
    return result;
}

// Replaces the link in one step, so that the port never leads nowhere between
// the old link and the new one.
QString replaceLink(const QString &link, const QString &target)
{
    if (!QDir().mkpath(QFileInfo(link).path()))
        return QStringLiteral("%1 cannot be created.").arg(QFileInfo(link).path());
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    QFile created(target);
    if (!created.link(fresh))
        return QStringLiteral("%1 cannot be created: %2").arg(fresh, created.errorString());
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(link).constData())) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(fresh);
        return QStringLiteral("%1 cannot be replaced: %2").arg(link, reason);
    }
    return QString();
}

// A file or folder of the user's own where the link belongs is left alone.
bool isLinkOrNothing(const QString &path)
{
    const QFileInfo existing(path);
    return existing.isSymLink() || !existing.exists();
}

QString notALink(const QString &path)
{
    return QStringLiteral("%1 is not a link; move it away first.").arg(path);
}

} // namespace

Result map(qint16 portNumber, const QString &device, const QString &settingsFolder,
           const QString &root)
{
    Result result;
    result.link = PortNames::linkPath(portNumber, settingsFolder);
    const SerialPorts::Device found = SerialPorts::describe(device, root);
    if (found.state == SerialPorts::State::Missing)
        return refused(result, QStringLiteral("%1: there is no such serial device.").arg(device));
    if (found.state == SerialPorts::State::NotATerminal)
        return refused(result, QStringLiteral("%1 is not a terminal device.").arg(device));
    if (!isLinkOrNothing(result.link))
        return refused(result, notALink(result.link));
    result.target =
        found.byId.isEmpty() ? QDir::cleanPath(QFileInfo(device).absoluteFilePath()) : found.byId;
    const QString error = replaceLink(result.link, result.target);
    if (!error.isEmpty())
        return refused(result, error);
    result.done = true;
    result.message =
        QStringLiteral("%1 now leads to %2").arg(PortNames::comName(portNumber), found.path);
    if (result.target != found.path)
        result.message += QStringLiteral(" (through %1)").arg(result.target);
    return result;
}

Result unmap(qint16 portNumber, const QString &settingsFolder)
{
    Result result;
    result.link = PortNames::linkPath(portNumber, settingsFolder);
    if (!isLinkOrNothing(result.link))
        return refused(result, notALink(result.link));
    QFile link(result.link);
    if (QFileInfo(result.link).isSymLink() && !link.remove())
        return refused(
            result,
            QStringLiteral("%1 cannot be removed: %2").arg(result.link, link.errorString()));
    result.done = true;
    result.message = QStringLiteral("%1 leads to %2, its default")
                         .arg(PortNames::comName(portNumber),
                              PortNames::deviceForPort(portNumber, settingsFolder));
    return result;
}

} // namespace PortMap
