#include "linefigures.h"

namespace {

constexpr double kEfficiencyTarget = 0.99;
constexpr double kPlainToolTarget = 1.01;

QString seconds(double value)
{
    return QString::number(value, 'f', 3) + QStringLiteral(" s");
}

// "Line efficiency, ..." for the windows, "`quillet-cli` line efficiency, ..." for the command.
QString rowName(const QString &who, const QString &text)
{
    return who.isEmpty() ? text : who + QLatin1Char(' ') + text.first(1).toLower() + text.mid(1);
}

void efficiency(Table &table, const QString &figure, const RunOutput &run)
{
    const QString target = QStringLiteral("≥ 0.99");
    if (!run.error.isEmpty())
        return table.addFailed(figure, run.error, target);
    const double ideal = run.values[QStringLiteral("ideal")];
    const double line = run.values[QStringLiteral("line")];
    table.add(figure,
              QStringLiteral("%1 (%2, ideal %3)")
                  .arg(QString::number(ideal / line, 'f', 4), seconds(line), seconds(ideal)),
              target, ideal / line >= kEfficiencyTarget);
}

} // namespace

void lineFigures(Table &table, const Measure &measure, const LineRuns &runs, int baud, int chars)
{
    const QString what = QStringLiteral("%1 chars, %2 baud").arg(grouped(chars)).arg(baud);
    const QStringList args{QString::number(baud), QString::number(chars)};
    const RunOutput sent = measure(QStringList{runs.send} + args);
    const RunOutput plain = measure(QStringList{QStringLiteral("ascii-xfr")} + args);
    const RunOutput received = measure(QStringList{runs.receive} + args);
    efficiency(table, rowName(runs.who, QStringLiteral("Line efficiency, send, ") + what), sent);
    efficiency(table, rowName(runs.who, QStringLiteral("Line efficiency, receive, ") + what),
               received);
    const QString figure =
        rowName(runs.who, QStringLiteral("Send time against `ascii-xfr -s -n`, ") + what);
    const QString target = QStringLiteral("≤ 1.01 ×");
    if (!sent.error.isEmpty() || !plain.error.isEmpty())
        return table.addFailed(figure, sent.error + plain.error, target);
    const double line = sent.values[QStringLiteral("line")];
    const double plainLine = plain.values[QStringLiteral("line")];
    table.add(
        figure,
        QStringLiteral("%1 × (%2 against %3)")
            .arg(QString::number(line / plainLine, 'f', 4), seconds(line), seconds(plainLine)),
        target, line / plainLine <= kPlainToolTarget);
}
