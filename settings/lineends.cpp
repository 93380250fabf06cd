#include "settings/lineends.h"

namespace LineEnds {

namespace {
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
} // namespace

QList<Line> split(const QString &text)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch != kCr && ch != kLf)
            continue;
        End end = ch == kLf ? End::Lf : End::Cr;
        const qsizetype lineLength = i - start;
        if (ch == kCr && i + 1 < text.size() && text.at(i + 1) == kLf) {
            end = End::CrLf;
            ++i;
        }
        lines.append({text.mid(start, lineLength), end});
        start = i + 1;
    }
    lines.append({text.mid(start), End::None});
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

} // namespace LineEnds
