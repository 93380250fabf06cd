#include "settings/lineends.h"

namespace LineEnds {

QList<Line> split(const QString &text)
{
    QList<Line> lines;
    forEachLine(text, [&](qsizetype start, qsizetype length, End end) {
        lines.append({text.mid(start, length), end});
        return true;
    });
    return lines;
}

QString toText(End end)
{
    switch (end) {
    case End::CrLf:
        return QStringLiteral("\r\n");
    case End::Lf:
        return QStringLiteral("\n");
    case End::Cr:
        return QStringLiteral("\r");
    case End::None:
        break;
    }
    return {};
}

QString join(const QList<Line> &lines)
{
    QString text;
    for (const Line &line : lines)
        text += line.text + toText(line.end);
    return text;
}

QStringList messageLines(const QString &message)
{
    QStringList lines;
    forEachLine(message, [&](qsizetype start, qsizetype length, End) {
        if (length > 0)
            lines.append(message.mid(start, length));
        return true;
    });
    return lines;
}

QString messageOnOneLine(const QString &message)
{
    return messageLines(message).join(QLatin1Char(' '));
}

} // namespace LineEnds
