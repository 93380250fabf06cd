#pragma once

#include <QByteArray>
#include <QString>

// The report's own file access: reading the transfer file it reproduces and
// writing a saved report. Byte for byte, no conversion either way.
namespace ReportFile {

enum class ReadStatus { Ok, Unreadable, Empty };

struct ReadResult
{
    ReadStatus status = ReadStatus::Unreadable;
    QByteArray bytes;
    QString reason; // the system's words, when unreadable
};

ReadResult readWhole(const QString &path);

// NewOnly refuses a file that exists; Replace overwrites it.
enum class CreateMode { NewOnly, Replace };
enum class WriteStatus { Written, NotCreated, WriteFailed };

struct WriteResult
{
    WriteStatus status = WriteStatus::NotCreated;
    QString reason; // the system's words, when not written
};

// A file created here whose writing then fails is removed again, so a failed
// save never leaves half a report behind under a new name.
WriteResult write(const QString &path, const QByteArray &bytes, CreateMode mode);

// What the user is told when the transfer file cannot be read for a report,
// or the report cannot be saved; two lines joined by a carriage return.
QString readFailureText(const QString &fileName, const ReadResult &read);
QString saveFailureText(const QString &fileName, const QString &reason);

} // namespace ReportFile
