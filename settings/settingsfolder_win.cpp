// Where the settings live on Windows: the Windows folder, or the user's own
// application data when that folder cannot be written. And how a name is
// written in them: in the system's code page, as ever, where it holds it.
#include "settings/settingsfile.h"

#include <QDir>

#include <QtCore/qt_windows.h>

#include <optional>
#include <string>

namespace SettingsFile {

namespace {

const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");
using PathCall = decltype(&::GetShortPathNameW);

// The name in the system's code page, when that holds every character.
std::optional<QByteArray> inCodePage(const QString &name)
{
    const QByteArray bytes = name.toLocal8Bit();
    if (name.isEmpty() || QString::fromLocal8Bit(bytes) != name)
        return std::nullopt;
    return bytes;
}

QString ask(PathCall call, const QString &path)
{
    const std::wstring wide = path.toStdWString();
    std::wstring converted(32768, L'\0');
    const DWORD size = call(wide.c_str(), converted.data(), DWORD(converted.size()));
    if (size == 0 || size >= converted.size())
        return QString();
    return QString::fromWCharArray(converted.data(), int(size));
}

// The short or the long form of a path (GetShortPathNameW, GetLongPathNameW);
// a file still to be made keeps its own name after its folder's form.
QString converted(PathCall call, const QString &path)
{
    if (const QString whole = ask(call, path); !whole.isEmpty())
        return whole;
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    const QString folder = cut > 0 ? ask(call, path.left(cut)) : QString();
    return folder.isEmpty() ? QString() : folder + path.mid(cut);
}

} // namespace

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

// A name the code page cannot hold would come back as question marks. Its
// short name is plain text and leads to the same file; a name without one
// (8.3 names switched off, or nothing there yet) is kept in UTF-8.
QByteArray nameToLine(const QString &name)
{
    if (const std::optional<QByteArray> bytes = inCodePage(name))
        return *bytes;
    const QString native = QDir::toNativeSeparators(name);
    if (QDir::isAbsolutePath(native)) {
        if (const std::optional<QByteArray> bytes =
                inCodePage(converted(::GetShortPathNameW, native)))
            return *bytes;
    }
    return kUtf8Mark + name.toUtf8();
}

QString nameFromLine(const QByteArray &line)
{
    if (line.startsWith(kUtf8Mark))
        return QString::fromUtf8(line.mid(kUtf8Mark.size()));
    const QString name = QString::fromLocal8Bit(line);
    // A short name stands for the name the user chose, which is shown again.
    if (!name.contains(QLatin1Char('~')))
        return name;
    const QString full = converted(::GetLongPathNameW, name);
    return full.isEmpty() ? name : full;
}

} // namespace SettingsFile
