#include "clifigures.h"

#include "cliruns.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCpuRuns = 3;
constexpr double kCpuTarget = 0.03; // the windows' target

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
        lineFigures(table, measure,
                    {QStringLiteral("cli-send"), QStringLiteral("cli-receive"),
                     QStringLiteral("`quillet-cli`")},
                    baud, 12000);
    cpuFigures(table, measure);
}

} // namespace BenchCli
