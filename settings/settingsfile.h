#pragma once

#include <optional>
#include <QString>

// What page 1 keeps from one run to the next. Each value is absent when its
// line was missing or could not be converted, so that it is skipped on its
// own and the lines after it keep their meaning.
struct StoredSettings
{
    std::optional<qint16> transferIndex;
    std::optional<QString> fileName;
    std::optional<qint16> portIndex;
    std::optional<qint16> baudIndex;
    std::optional<QString> directory;
};

// The values written at the end of a run, from page 1's controls as they stand.
struct SettingsToSave
{
    int transferIndex = 0;
    QString fileName;
    int portIndex = 0;
    int baudIndex = 0;
    QString directory;
};

namespace SettingsFile {

inline const QString kFileName = QStringLiteral("jxf.ini");

// The one place that decides where the settings file lives.
QString path();

// The folder that holds the settings file; COM port links live below it:
// %windir% when it is set, otherwise the system's own place (each system's
// half, settingsfolder_posix.cpp and settingsfolder_win.cpp).
QString folder();

// On Windows the user's own settings file, %APPDATA%\Quillet\jxf.ini, which
// takes over when the one in the Windows folder cannot be written (a standard
// user may not write there); empty elsewhere, where path() is always writable
// by its user.
QString personalPath();

// The file the settings are read from: the personal one once it exists, since
// it is only ever made when the shared one could not be written.
QString readPath(const QString &sharedPath, const QString &personalPath);

// Writes the settings where the next start will read them: the file readPath()
// names, or the personal one when that is the shared one and it cannot be
// written. Returns the path written, or an empty text when none could be.
QString save(const QString &sharedPath, const QString &personalPath, const SettingsToSave &values);

// Reads the settings at filePath. Returns nothing when the file cannot be
// opened; otherwise each line that could be read and converted.
std::optional<StoredSettings> read(const QString &filePath);

// The settings that the bytes of a settings file hold: each of the first five
// lines that converts, whatever else the bytes contain.
StoredSettings parse(const QByteArray &bytes);

// The exact bytes of a settings file: five lines, CR LF, local 8-bit text.
QByteArray compose(const SettingsToSave &values);

// A file or folder name as a line of the settings file, and back: local 8-bit
// text, as the file has always held it (each system's half). Windows writes
// a name its code page cannot hold as its short name, or, where the name has
// none, in UTF-8 after a byte-order mark.
QByteArray nameToLine(const QString &name);
QString nameFromLine(const QByteArray &line);

// Replaces the file at filePath in one step, so that a failed save never
// leaves a truncated file behind. Creates the folder when needed. Where the
// folder refuses a new file, an existing plain file is written in place.
bool write(const QString &filePath, const SettingsToSave &values);

// A line as a 16-bit list index: decimal digits with an optional sign and
// surrounding blanks; anything else, or a value outside 16 bits, is nothing.
std::optional<qint16> toIndex(const QByteArray &line);

} // namespace SettingsFile
