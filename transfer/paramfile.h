#pragma once

#include "transfer/hexcheck.h"

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <limits>

class QFile;
class QIODevice;

// A parameter file on disk, as every part of the program reads one. Only a
// plain file is read: opening a pipe waits until another program writes to
// it, and a device may never end. A file past the size its reader allows is
// refused before any of it is read, and one that grows past it while it is
// read is refused then. It is read a piece at a time, so that a file of
// gigabytes is never held whole and a stop is seen between two pieces.
namespace ParamFile {

enum class Status {
    Read,       // opened; read to its end, or as far as its reader wanted
    Missing,    // there is no such file
    Folder,     // a folder, not a file
    NotPlain,   // a pipe, a device or a socket
    TooLarge,   // more characters than allowed, on disk or as read
    Unreadable, // cannot be opened or read; reason says why
    Stopped,    // the reader's stop came between two pieces
};

struct Reading
{
    Status status = Status::Read;
    QString reason;  // the system's words, for Unreadable
    qint64 size = 0; // characters read
    bool ok() const { return status == Status::Read; }
};

// A reading that ended before any of the file was read; unreadable() gives
// the C library's words for an errno.
inline Reading refused(Status status)
{
    return {status, {}, 0};
}
Reading unreadable(int error);

constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();

// Opens path, a name as transfer/filenames.h gives it (so that any name the
// system has opens), for reading from its first character; nothing of it is
// read. Each system has its own (paramfile_posix.cpp, paramfile_win.cpp).
Reading open(QFile &file, const QString &path, qint64 maxSize);

// Gives each piece to take, which returns false when it has had enough.
using Take = std::function<bool(QByteArrayView piece)>;
// Asked before each piece; true ends the reading as Stopped.
using Stop = std::function<bool()>;

// Reads device from where it stands to its end.
Reading read(QIODevice &device, qint64 maxSize, const Take &take, const Stop &stopped = {});

// What the check makes of the file at path, read up to its first code 26.
struct Checked
{
    Reading reading;
    HexCheck::Result result; // not readable unless the reading is ok
};
Checked check(const QString &path, qint64 maxSize = kNoLimit);

} // namespace ParamFile
