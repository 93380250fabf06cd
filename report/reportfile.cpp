#include "report/reportfile.h"

#include <QFile>

namespace ReportFile {

ReadResult readWhole(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {ReadStatus::Unreadable, {}, file.errorString()};
    ReadResult result{ReadStatus::Ok, file.readAll(), {}};
    if (file.error() != QFileDevice::NoError)
        return {ReadStatus::Unreadable, {}, file.errorString()};
    if (result.bytes.isEmpty())
        result.status = ReadStatus::Empty;
    return result;
}

WriteResult write(const QString &path, const QByteArray &bytes, CreateMode mode)
{
    QFile file(path);
    const QIODevice::OpenMode how = mode == CreateMode::NewOnly
                                        ? QIODevice::WriteOnly | QIODevice::NewOnly
                                        : QIODevice::WriteOnly | QIODevice::Truncate;
    // Unbuffered, so that a full disk shows in write() itself.
    if (!file.open(how | QIODevice::Unbuffered))
        return {WriteStatus::NotCreated, file.errorString()};
    bool written = file.write(bytes) == bytes.size() && file.flush();
    QString reason = written ? QString() : file.errorString();
    file.close();
    if (written && file.error() != QFileDevice::NoError) {
        written = false;
        reason = file.errorString();
    }
    if (written)
        return {WriteStatus::Written, {}};
    // The failure is what the user needs to hear; a leftover that cannot be
    // removed either adds nothing they can act on.
    if (mode == CreateMode::NewOnly)
        file.remove();
    return {WriteStatus::WriteFailed, reason};
}

QString readFailureText(const QString &fileName, const ReadResult &read)
{
    if (read.status == ReadStatus::Empty)
        return QStringLiteral("The file ") + fileName +
               QStringLiteral(" is empty.\rThere is no data to report.");
    return QStringLiteral("Unable to read the file ") + fileName + QStringLiteral(".\r") +
           read.reason;
}

QString saveFailureText(const QString &fileName, const QString &reason)
{
    return QStringLiteral("Unable to save the report to ") + fileName + QStringLiteral(".\r") +
           reason;
}

} // namespace ReportFile
