#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Text that came from a file or a drive may end its lines in CR LF, LF or CR
// alone. Everything that works line by line (the settings file, a parameter
// file's records, the report's text box and printer, the program's messages)
// splits it here.
namespace LineEnds {

enum class End { None, CrLf, Lf, Cr };

// Calls onLine(start, length, end) for each line of text (a QString, a
// QByteArray or a view of either) in order; a line's own end is not part of
// it. The text after the last line end comes last, with End::None, and is
// empty when the text ends in a line end. onLine returns false to stop.
template<class Text, class OnLine>
void forEachLine(const Text &text, OnLine onLine)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto ch = text[i];
        if (ch != u'\r' && ch != u'\n')
            continue;
        End end = ch == u'\n' ? End::Lf : End::Cr;
        const qsizetype length = i - start;
        if (end == End::Cr && i + 1 < text.size() && text[i + 1] == u'\n') {
            end = End::CrLf;
            ++i;
        }
        if (!onLine(start, length, end))
            return;
        start = i + 1;
    }
    onLine(start, text.size() - start, End::None);
}

struct Line
{
    QString text;
    End end = End::None; // None only on the last line
};

// Always at least one line; a text that ends in a line end has an empty last
// line. join gives the text back unchanged.
QList<Line> split(const QString &text);
QString join(const QList<Line> &lines);
QString toText(End end);

// A message of the program's joins its lines with CR. Its lines, as a
// message box and the command show them, without empty ones; and the same on
// one line, joined by blanks, where one line is all there is.
QStringList messageLines(const QString &message);
QString messageOnOneLine(const QString &message);

} // namespace LineEnds
