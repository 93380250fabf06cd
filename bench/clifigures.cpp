#include "clifigures.h"

#include "cliruns.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCpuRuns = 3;
constexpr double kEfficiencyTarget = 0.99;
constexpr double kPlainToolTarget = 1.01;
constexpr double kCpuTarget = 0.03; // the windows' target

QString seconds(double value)
{
    return QString::number(value, 'f', 3) + QStringLiteral(" s");
}

} // namespace

namespace BenchCli {

bool isRun(const QString &what)
{
    return what.startsWith(QLatin1String("cli-"));
}

int run(const QString &what, int baud, int chars)
{
    if (what == QLatin1String("cli-send"))
        return BenchCliRuns::send(baud, chars);
    if (what == QLatin1String("cli-receive"))
        return BenchCliRuns::receive(baud, chars);
    if (what == QLatin1String("cli-cpu"))
        return BenchCliRuns::cpu();
    std::printf("RESULT error=unknown-cli-run\n");
    return 2;
}

namespace {

void lineFigures(Table &table, int baud, int chars, const Measure &measure)
{
    const QString what = QStringLiteral("%1 chars, %2 baud").arg(grouped(chars)).arg(baud);
    const QStringList args{QString::number(baud), QString::number(chars)};
    // ascii-xfr right after the command, as the windows' figures take it.
    const RunOutput sent = measure(QStringList{QStringLiteral("cli-send")} + args);
    const RunOutput plain = measure(QStringList{QStringLiteral("ascii-xfr")} + args);
    const RunOutput received = measure(QStringList{QStringLiteral("cli-receive")} + args);
    const QString target = QStringLiteral("≥ 0.99");
    for (const auto &[direction, run] : {std::pair{"send", &sent}, {"receive", &received}}) {
        const QString figure =
            QStringLiteral("`quillet-cli` line efficiency, %1, ").arg(QLatin1String(direction)) +
            what;
        if (!run->error.isEmpty()) {
            table.addFailed(figure, run->error, target);
            continue;
        }
        const double ideal = run->values[QStringLiteral("ideal")];
        const double line = run->values[QStringLiteral("line")];
        table.add(figure,
                  QStringLiteral("%1 (%2, ideal %3)")
                      .arg(QString::number(ideal / line, 'f', 4), seconds(line), seconds(ideal)),
                  target, ideal / line >= kEfficiencyTarget);
    }
    const QString figure =
        QStringLiteral("`quillet-cli` send time against `ascii-xfr -s -n`, ") + what;
    if (!sent.error.isEmpty() || !plain.error.isEmpty())
        return table.addFailed(figure, sent.error + plain.error, QStringLiteral("≤ 1.01 ×"));
    const double ratio = sent.values[QStringLiteral("line")] / plain.values[QStringLiteral("line")];
    table.add(figure,
              QStringLiteral("%1 × (%2 against %3)")
                  .arg(QString::number(ratio, 'f', 4), seconds(sent.values[QStringLiteral("line")]),
                       seconds(plain.values[QStringLiteral("line")])),
              QStringLiteral("≤ 1.01 ×"), ratio <= kPlainToolTarget);
}

void cpuFigures(Table &table, const Measure &measure)
{
    QList<RunOutput> runs;
    for (int i = 0; i < kCpuRuns; ++i) {
        runs.append(measure({QStringLiteral("cli-cpu")}));
        if (!runs.last().error.isEmpty())
            return table.addFailed(QStringLiteral("`quillet-cli` CPU while receiving"),
                                   runs.last().error, QStringLiteral("< 0.03"));
    }
    const auto median = [&runs](const char *key) {
        QList<double> values;
        for (const RunOutput &run : runs)
            values.append(run.values[QString::fromLatin1(key)]);
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    };
    const double receiving = median("receiving");
    const double waiting = median("waiting");
    table.add(
        QStringLiteral("`quillet-cli` CPU s per s, receiving at 9600 baud (median of 3 runs)"),
        QString::number(receiving, 'f', 4), QStringLiteral("< 0.03"), receiving < kCpuTarget);
    table.add(QStringLiteral("`quillet-cli` CPU s per s, waiting for the drive (median of 3 runs)"),
              QString::number(waiting, 'f', 4), QStringLiteral("< 0.03"), waiting < kCpuTarget);
}

} // namespace

void figures(Table &table, const Measure &measure)
{
    for (int baud : {9600, 57600})
        lineFigures(table, baud, 12000, measure);
    cpuFigures(table, measure);
}

} // namespace BenchCli
