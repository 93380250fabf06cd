#pragma once

#include <QList>
#include <QString>

// A report holds the transfer file's text as it was stored, so its lines may
// end in CR LF, LF or CR alone. Views that work line by line (the text box,
// the printer) split it here and put it back together unchanged.
namespace LineEnds {

enum class End { None, CrLf, Lf, Cr };

struct Line
{
    QString text;
    End end = End::None; // None only on the last line
};

// Always at least one line; a text that ends in a line end has an empty last line.
QList<Line> split(const QString &text);
QString join(const QList<Line> &lines);
QString toText(End end);

} // namespace LineEnds
