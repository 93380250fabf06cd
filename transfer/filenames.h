#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// File names as the system gives them. A name is bytes; one that is not valid
// text in the system's encoding still names a file, and must still open it
// and be printed as it was given. Each byte that does not decode is kept as
// the lone surrogate U+DC80 + (byte - 0x80), which no decoded name holds, so
// that the bytes come back unchanged (JSON shows such a byte as "\udcXX").
namespace FileNames {

QString fromSystem(QByteArrayView bytes);
QByteArray toSystem(const QString &name);

// The command line, every argument decoded by fromSystem.
QStringList arguments(int argc, const char *const *argv);

} // namespace FileNames
