#include "report/reporttext.h"

#include "transfer/transfersession.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>

namespace ReportText {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
constexpr char16_t kQuote = u'\'';
constexpr char16_t kZoneToken = u't';
constexpr char16_t kLastLatin1 = 0xff;

bool isLatin1(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar ch) { return ch.unicode() <= kLastLatin1; });
}

// The long time form names the time zone, which the report never showed.
QString withoutZone(const QString &format)
{
    QString kept;
    bool quoted = false;
    for (QChar ch : format) {
        if (ch == kQuote)
            quoted = !quoted;
        if (quoted || ch != kZoneToken)
            kept += ch;
    }
    kept.remove(QStringLiteral("()"));
    return kept.simplified();
}

QString withPlainSpaces(QString text)
{
    for (QChar &ch : text) {
        if (ch.unicode() > kLastLatin1 && ch.category() == QChar::Separator_Space)
            ch = QLatin1Char(' ');
    }
    return text;
}

} // namespace

QString compose(const Inputs &in)
{
    const bool sent = in.iTransferType == TransferType::kJxfToDrive;
    QByteArray kept = in.fileBytes;
    if (sent)
        kept.truncate(std::clamp<qsizetype>(in.lByteCount, 0, kept.size()));
    const QString rule(kRuleLength, QLatin1Char('-'));

    QString report = QStringLiteral("Transfer initiated on ") + in.date + QStringLiteral(" at ") +
                     in.time + kLineEnd;
    report +=
        (sent ? QStringLiteral("Data transmitted at ") : QStringLiteral("Data recieved at ")) +
        in.baudText + QStringLiteral(" baud on ") + in.portText + kLineEnd;
    report += QStringLiteral("Filename: ") + in.fileName + kLineEnd;
    report += rule + kLineEnd;
    report += QString::fromLatin1(kept) + kLineEnd;
    report += rule + kLineEnd;
    // A line of its own after the data, only when there is something to say.
    if (const QString note = lineErrorNote(in.lineErrors); !note.isEmpty())
        report += note + kLineEnd;
    return report;
}

Inputs inputsFor(const TransferChoices &shown, const TransferResults &results, const QDateTime &at,
                 const QByteArray &fileBytes)
{
    Inputs inputs;
    inputs.date = dateText(at.date());
    inputs.time = timeText(at.time());
    inputs.iTransferType = results.transferType;
    inputs.baudText = shown.baudText;
    inputs.portText = shown.portText;
    inputs.fileName = results.fileName;
    inputs.fileBytes = fileBytes;
    inputs.lByteCount = results.byteCount;
    inputs.lineErrors = results.lineErrors;
    return inputs;
}

QString dateText(const QDate &date, const QLocale &locale)
{
    const QString text = withPlainSpaces(locale.toString(date, QLocale::ShortFormat));
    return isLatin1(text) ? text : QLocale::c().toString(date, QLocale::ShortFormat);
}

QString timeText(const QTime &time, const QLocale &locale)
{
    return timeText(time, locale, withoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString timeText(const QTime &time, const QLocale &locale, const QString &format)
{
    const QString text = withPlainSpaces(locale.toString(time, format));
    if (isLatin1(text))
        return text;
    return QLocale::c().toString(time, withoutZone(QLocale::c().timeFormat(QLocale::LongFormat)));
}

} // namespace ReportText
