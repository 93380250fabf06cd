#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QtGlobal>

class QDate;
class QDateTime;
class QTime;
struct TransferChoices;
struct TransferResults;

// The report of one transfer, exactly as the report window shows, saves and
// prints it. Every piece is 8-bit text: the transfer file's bytes appear one
// character per byte (Latin-1), so that they come back unchanged when the
// report is saved.
namespace ReportText {

inline constexpr int kRuleLength = 50;

struct Inputs
{
    QString date; // the date alone, as text
    QString time; // the time of day alone, as text
    qint16 iTransferType = 0;
    QString baudText;      // as shown by page 1's baud-rate list
    QString portText;      // as shown by page 1's port list
    QString fileName;      // as shown by page 1's file box
    QByteArray fileBytes;  // the whole transfer file
    qint32 lByteCount = 0; // characters that went out, for a send
    qint64 lineErrors = 0; // characters the line damaged during a receive
};

QString compose(const Inputs &inputs);

// The inputs for the report of a run at the given time: the run's results,
// the port and the rate as shown with the choices, and the file's bytes.
Inputs inputsFor(const TransferChoices &shown, const TransferResults &results, const QDateTime &at,
                 const QByteArray &fileBytes);

// The date in the locale's short form. A locale whose form needs characters
// that 8-bit text cannot hold falls back to the C locale's form.
QString dateText(const QDate &date, const QLocale &locale = QLocale::system());

// The time of day with seconds: the locale's long form without its time-zone
// name, with the same fallback as the date.
QString timeText(const QTime &time, const QLocale &locale = QLocale::system());
// The same in a form given in the locale's terms. Spaces that 8-bit text cannot
// hold, such as the narrow no-break space that newer locale data puts before
// "PM", are written as plain spaces, here and in the date, so that the report
// reads the same whichever Qt made it.
QString timeText(const QTime &time, const QLocale &locale, const QString &format);

} // namespace ReportText
