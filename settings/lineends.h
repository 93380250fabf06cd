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

// Splits text that comes in pieces, such as a parameter file read a part at
// a time, by the rule forEachLine keeps for a whole text.
class LineSplitter
{
public:
    // Calls onLine(start, length, end) for each line of piece, as forEachLine
    // does: the first may go on from the last piece, and the last (End::None)
    // goes on in the next. An LF right after a CR that ended the last piece
    // ends no line of its own. False when onLine stopped it.
    template<class Text, class OnLine>
    bool feed(const Text &piece, OnLine onLine)
    {
        qsizetype start = 0;
        if (!piece.isEmpty()) {
            start = m_afterCr && piece[0] == u'\n' ? 1 : 0;
            m_afterCr = false;
        }
        for (qsizetype i = start; i < piece.size(); ++i) {
            const auto ch = piece[i];
            if (ch != u'\r' && ch != u'\n')
                continue;
            End end = ch == u'\n' ? End::Lf : End::Cr;
            const qsizetype length = i - start;
            if (end == End::Cr && i + 1 == piece.size())
                m_afterCr = true;
            else if (end == End::Cr && piece[i + 1] == u'\n') {
                end = End::CrLf;
                ++i;
            }
            if (!onLine(start, length, end))
                return false;
            start = i + 1;
        }
        return onLine(start, piece.size() - start, End::None);
    }

private:
    bool m_afterCr = false;
};

// Calls onLine(start, length, end) for each line of text (a QString, a
// QByteArray or a view of either) in order; a line's own end is not part of
// it. The text after the last line end comes last, with End::None, and is
// empty when the text ends in a line end. onLine returns false to stop.
template<class Text, class OnLine>
void forEachLine(const Text &text, OnLine onLine)
{
    LineSplitter().feed(text, onLine);
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
