#include "transfer/paramfile.h"

#include <QByteArray>
#include <QFile>

#include <cstring>

namespace ParamFile {

namespace {

constexpr qint64 kPieceSize = 64 * 1024;

} // namespace

Reading unreadable(int error)
{
    return {Status::Unreadable, QString::fromLocal8Bit(std::strerror(error)), 0};
}

Reading read(QIODevice &device, qint64 maxSize, const Take &take, const Stop &stopped)
{
    Reading reading;
    QByteArray piece(kPieceSize, Qt::Uninitialized);
    for (;;) {
        if (stopped && stopped())
            return {Status::Stopped, {}, reading.size};
        const qint64 got = device.read(piece.data(), kPieceSize);
        if (got < 0)
            return {Status::Unreadable, device.errorString(), reading.size};
        if (got == 0)
            return reading;
        reading.size += got;
        // The file may have grown since it was measured.
        if (reading.size > maxSize)
            return {Status::TooLarge, {}, reading.size};
        if (!take(QByteArrayView(piece.constData(), got)))
            return reading;
    }
}

Checked check(const QString &path, qint64 maxSize)
{
    HexCheck::Checker checker;
    Checked checked;
    QFile file;
    checked.reading = open(file, path, maxSize);
    if (checked.reading.ok()) {
        checked.reading = read(file, maxSize, [&](QByteArrayView piece) {
            checker.feed(piece);
            return !checker.endOfData();
        });
    }
    if (checked.reading.ok())
        checked.result = checker.finish();
    else
        checked.result.readable = false;
    return checked;
}

} // namespace ParamFile
