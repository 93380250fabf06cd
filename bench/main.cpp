// quilletbench: how close Quillet's transfers come to the line's own limit,
// and what they cost. `quilletbench [--quick]` prints the table; each figure
// comes from a process of its own, `quilletbench run <what> ...`.
#include "clifigures.h"
#include "figures.h"
#include "linefigures.h"
#include "runs.h"
#include "table.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kCeilingTarget = 576000;
constexpr double kStartupTargetMs = 250;
constexpr double kRssTargetMb = 60;
constexpr int kStartupRuns = 5;
constexpr int kWindowPollTimeoutMs = 10000;
constexpr int kRssChars = 60000;
constexpr int kRssBaud = 57600;

int runChild(int argc, char *argv[])
{
    // Under a real or virtual X server the repaints are real; without one, offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QCoreApplication::arguments().mid(2);
    const QString what = args.value(0);
    const int a = args.value(1).toInt();
    const int b = args.value(2).toInt();
    if (what == QLatin1String("send"))
        return BenchRuns::send(a, b);
    if (what == QLatin1String("ascii-xfr"))
        return BenchRuns::plainToolSend(a, b);
    if (what == QLatin1String("receive"))
        return BenchRuns::receive(a, b);
    if (what == QLatin1String("cpu"))
        return BenchRuns::cpu();
    if (what == QLatin1String("ceiling"))
        return BenchRuns::ceiling(a);
    if (BenchCli::isRun(what))
        return BenchCli::run(what, a, b);
    if (what == QLatin1String("ascii-xfr-r"))
        return BenchRuns::plainToolReceive(a, b);
    const bool accessibility = args.value(3) == QLatin1String("accessibility");
    if (what == QLatin1String("program-receive"))
        return BenchRuns::programReceive(a, b, accessibility);
    if (what == QLatin1String("program-send"))
        return BenchRuns::programSend(a, b, accessibility);
    if (what == QLatin1String("latency-receive") || what == QLatin1String("latency-send"))
        return BenchRuns::programLatency(what == QLatin1String("latency-receive"), a, b);
    std::fprintf(stderr,
                 "quilletbench run: send|ascii-xfr|receive BAUD CHARS, cpu, "
                 "ceiling CHARS, ascii-xfr-r BAUD CHARS, program-receive|program-send BAUD CHARS "
                 "[accessibility], latency-receive|latency-send BAUD CHARS\n");
    return 2;
}

} // namespace

RunOutput measure(const QStringList &args)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("run")} + args);
    child.waitForFinished(-1);
    const QByteArray out = child.readAllStandardOutput();
    std::fprintf(stderr, "  %s: %s", qPrintable(args.join(QLatin1Char(' '))), out.constData());
    return parseRunOutput(out, child.exitCode());
}

namespace {

void ceilingFigure(Table &table)
{
    const RunOutput run = measure({QStringLiteral("ceiling"), QStringLiteral("60000")});
    const QString figure = QStringLiteral("Loop ceiling, 60,000 chars into an unpaced pty");
    const QString target = QStringLiteral("≥ 576,000 chars/s");
    if (!run.error.isEmpty())
        return table.addFailed(figure, run.error, target);
    const double cps = run.values[QStringLiteral("cps")];
    table.add(figure, grouped(cps) + QStringLiteral(" chars/s"), target, cps >= kCeilingTarget);
}

// Exec to the splash window mapped on the X server, by asking the server.
double startupMs()
{
    QTemporaryDir settings;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("windir"), settings.path());
    QProcess program;
    program.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    program.start(QStringLiteral(QUILLET_PROGRAM_PATH));
    double shown = -1;
    while (timer.elapsed() < kWindowPollTimeoutMs) {
        QProcess search;
        search.setStandardOutputFile(QProcess::nullDevice());
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--name"), QStringLiteral("^Quillet$")});
        if (search.waitForFinished() && search.exitStatus() == QProcess::NormalExit &&
            search.exitCode() == 0) {
            shown = timer.nsecsElapsed() / 1e6;
            break;
        }
    }
    if (shown < 0)
        std::fprintf(stderr, "  start-up: no splash window within %d ms\n", kWindowPollTimeoutMs);
    program.kill();
    program.waitForFinished();
    return shown;
}

void startupFigures(Table &table)
{
    QList<double> times;
    for (int i = 0; i < kStartupRuns && !qEnvironmentVariableIsEmpty("DISPLAY"); ++i)
        times.append(startupMs());
    std::sort(times.begin(), times.end());
    const QString target = QStringLiteral("< 250 ms");
    const QString figure = QStringLiteral("Start-up, exec to splash window on screen");
    if (times.isEmpty() || times.front() < 0) {
        table.addFailed(figure, QStringLiteral("needs an X server and xdotool"), target);
    } else {
        const double median = times[times.size() / 2];
        table.add(
            figure,
            QStringLiteral("%1 ms (median of %2; %3 to %4)")
                .arg(QString::number(median, 'f', 0))
                .arg(times.size())
                .arg(QString::number(times.front(), 'f', 0), QString::number(times.back(), 'f', 0)),
            target, median < kStartupTargetMs);
    }
    const RunOutput run =
        measure({QStringLiteral("receive"), QString::number(kRssBaud), QString::number(kRssChars)});
    const QString rssFigure = QStringLiteral("Peak resident memory, 60,000-char receive");
    if (!run.error.isEmpty())
        return table.addFailed(rssFigure, run.error, QStringLiteral("< 60 MB"));
    const double rss = run.values[QStringLiteral("rss")];
    table.add(rssFigure, QString::number(rss, 'f', 1) + QStringLiteral(" MB"),
              QStringLiteral("< 60 MB"), rss < kRssTargetMb);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 2 && QByteArray(argv[1]) == "run")
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    const QList<int> sizes = quick ? QList<int>{12000} : QList<int>{12000, 60000};
    const QList<int> rates = quick ? QList<int>{9600, 57600} : QList<int>{9600, 19200, 57600};
    Table table;
    if (args.contains(QStringLiteral("--cpu"))) {
        cpuFigures(table);
        std::printf("%s", qPrintable(table.text()));
        return table.allMet() ? 0 : 1;
    }
    if (args.contains(QStringLiteral("--latency"))) {
        latencyFigures(table);
        std::printf("%s", qPrintable(table.text()));
        return table.allMet() ? 0 : 1;
    }
    if (args.contains(QStringLiteral("--startup"))) {
        startupFigures(table);
        std::printf("%s", qPrintable(table.text()));
        return table.allMet() ? 0 : 1;
    }
    for (int chars : sizes) {
        for (int baud : rates)
            lineFigures(table, measure, {QStringLiteral("send"), QStringLiteral("receive"), {}},
                        baud, chars);
    }
    cpuFigures(table);
    latencyFigures(table);
    BenchCli::figures(table, measure);
    ceilingFigure(table);
    startupFigures(table);
    std::printf("%s", qPrintable(table.text()));
    return table.allMet() ? 0 : 1;
}
