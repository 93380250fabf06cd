#include "figures.h"

namespace {

constexpr double kMedianRatio = 2.0;
constexpr double kMaxMs = 50.0;
constexpr double kTreeRatio = 1.5;

QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1) + QStringLiteral(" ms");
}

void latencyRow(Table &table, const QString &what, const RunOutput &run)
{
    const QString figure = QStringLiteral("Event latency %1 (AT-SPI request, median / max of "
                                          "%2, against idle)")
                               .arg(what)
                               .arg(run.values.value(QStringLiteral("samples")));
    const QString target = QStringLiteral("median ≤ 2 × idle, max < 50 ms");
    if (!run.error.isEmpty())
        return table.addFailed(figure, run.error, target);
    const double busy = run.values[QStringLiteral("busyMedian")];
    const double busyMax = run.values[QStringLiteral("busyMax")];
    const double idle = run.values[QStringLiteral("idleMedian")];
    table.add(figure,
              QStringLiteral("%1 / %2 (idle %3 / %4)")
                  .arg(ms(busy), ms(busyMax), ms(idle), ms(run.values[QStringLiteral("idleMax")])),
              target, busy <= kMedianRatio * idle && busyMax < kMaxMs);
}

} // namespace

void latencyFigures(Table &table)
{
    const RunOutput receive9600 = measure(
        {QStringLiteral("latency-receive"), QStringLiteral("9600"), QStringLiteral("12000")});
    latencyRow(table, QStringLiteral("receiving at 9600 baud"), receive9600);
    latencyRow(table, QStringLiteral("receiving at 57600 baud"),
               measure({QStringLiteral("latency-receive"), QStringLiteral("57600"),
                        QStringLiteral("60000")}));
    latencyRow(
        table, QStringLiteral("sending at 9600 baud"),
        measure({QStringLiteral("latency-send"), QStringLiteral("9600"), QStringLiteral("12000")}));
    const QString figure =
        QStringLiteral("Full read of the accessible tree of page 3 during a 9600 receive");
    const QString target = QStringLiteral("≤ 1.5 × idle");
    if (!receive9600.error.isEmpty())
        return table.addFailed(figure, receive9600.error, target);
    const double busy = receive9600.values[QStringLiteral("busyTree")];
    const double idle = receive9600.values[QStringLiteral("idleTree")];
    table.add(figure +
                  QStringLiteral(" (%1 objects)").arg(receive9600.values[QStringLiteral("nodes")]),
              QStringLiteral("%1 (idle %2; %3 ×)")
                  .arg(ms(busy), ms(idle), QString::number(busy / idle, 'f', 2)),
              target, busy <= kTreeRatio * idle);
}
