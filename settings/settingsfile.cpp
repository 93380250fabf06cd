#include "settings/settingsfile.h"

#include "settings/lineends.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
constexpr int kLineCount = 5;
// A settings file holds five short lines; a larger one is damaged and is only
// read up to this size so that a stray binary file cannot exhaust memory.
constexpr qint64 kMaxBytesRead = 4 * 1024 * 1024;

// The first lines, whatever their ends, so a file edited elsewhere still reads.
QList<QByteArray> firstLines(const QByteArray &data)
{
    QList<QByteArray> lines;
    LineEnds::forEachLine(data, [&](qsizetype start, qsizetype length, LineEnds::End end) {
        if (end != LineEnds::End::None || length > 0)
            lines.append(data.mid(start, length));
        return lines.size() < kLineCount;
    });
    return lines;
}

} // namespace

namespace SettingsFile {

QString path()
{
    return folder() + QLatin1Char('/') + kFileName;
}

QString readPath(const QString &sharedPath, const QString &personalPath)
{
    if (!personalPath.isEmpty() && QFileInfo(personalPath).isFile())
        return personalPath;
    return sharedPath;
}

QString save(const QString &sharedPath, const QString &personalPath, const SettingsToSave &values)
{
    const QString inUse = readPath(sharedPath, personalPath);
    if (write(inUse, values))
        return inUse;
    if (inUse == sharedPath && !personalPath.isEmpty() && write(personalPath, values))
        return personalPath;
    return QString();
}

std::optional<qint16> toIndex(const QByteArray &line)
{
    const QByteArray text = line.trimmed();
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<qint16>::min() ||
        value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}

std::optional<StoredSettings> read(const QString &filePath)
{
    // Only a plain file: a folder cannot be read, and a pipe or a device would
    // hold the program at its start waiting for data.
    const QFileInfo info(filePath);
    if (!info.isFile())
        return std::nullopt;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(file.read(kMaxBytesRead));
}

StoredSettings parse(const QByteArray &bytes)
{
    const QList<QByteArray> lines = firstLines(bytes);
    StoredSettings stored;
    const auto line = [&lines](int n) -> const QByteArray * {
        return n < lines.size() ? &lines.at(n) : nullptr;
    };
    if (auto l = line(0))
        stored.transferIndex = toIndex(*l);
    if (auto l = line(1))
        stored.fileName = nameFromLine(*l);
    if (auto l = line(2))
        stored.portIndex = toIndex(*l);
    if (auto l = line(3))
        stored.baudIndex = toIndex(*l);
    if (auto l = line(4))
        stored.directory = nameFromLine(*l);
    return stored;
}

QByteArray compose(const SettingsToSave &values)
{
    QByteArray out;
    out += QByteArray::number(values.transferIndex) + kLineEnd;
    out += nameToLine(values.fileName) + kLineEnd;
    out += QByteArray::number(values.portIndex) + kLineEnd;
    out += QByteArray::number(values.baudIndex) + kLineEnd;
    out += nameToLine(QDir::toNativeSeparators(values.directory)) + kLineEnd;
    return out;
}

bool write(const QString &filePath, const SettingsToSave &values)
{
    const QString dir = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(dir))
        return false;
    QSaveFile file(filePath);
    // A shared folder may refuse new files while the settings file in it
    // may still be written: then it is written in place rather than not at
    // all. Only a plain file, since opening a pipe to write waits for a reader.
    file.setDirectWriteFallback(QFileInfo(filePath).isFile());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = compose(values);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace SettingsFile
