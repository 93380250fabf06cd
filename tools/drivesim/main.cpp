// drivesim: plays a motor drive on a pseudo-terminal, so that the program, its tests and its
// demo can move configuration data without hardware. See README.md beside this file.

#include "commandinterpreter.h"
#include "drive.h"
#include "process.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

using namespace drivesim;

namespace {

constexpr int kUsageError = 2;
constexpr int kStartError = 1;
constexpr qint64 kStdinChunk = 4096;

void printLine(const QString &text)
{
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
}

void printEvent(const char *name, const QString &detail = {})
{
    const QString event = QLatin1String(name);
    printLine(detail.isEmpty() ? event : event + QLatin1Char(' ') + detail);
}

void connectEvents(Drive &drive)
{
    QObject::connect(&drive, &Drive::ready, [](const QString &path) { printEvent("READY", path); });
    QObject::connect(&drive, &Drive::opened, [] { printEvent("OPENED"); });
    QObject::connect(&drive, &Drive::closed, [] { printEvent("CLOSED"); });
    QObject::connect(&drive, &Drive::txDone,
                     [](qint64 count) { printEvent("TX-DONE", QString::number(count)); });
    QObject::connect(&drive, &Drive::rxProgress,
                     [](qint64 total) { printEvent("RX", QString::number(total)); });
    QObject::connect(&drive, &Drive::overrun,
                     [](qint64 count) { printEvent("OVERRUN", QString::number(count)); });
    QObject::connect(&drive, &Drive::pcStopped,
                     [](bool stopped) { printEvent(stopped ? "XOFF" : "XON"); });
    QObject::connect(&drive, &Drive::ratesDiffer,
                     [](int pcBaud) { printEvent("GARBLED", QString::number(pcBaud)); });
    QObject::connect(&drive, &Drive::hungUp, [] { printEvent("HUNGUP"); });
    QObject::connect(&drive, &Drive::error, [](const QString &text) { printEvent("ERROR", text); });
}

struct Options
{
    QString linkPath;
    QStringList commands;
};

void addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {QStringLiteral("com"), QStringLiteral("Serve COM<n> (default 1)."), QStringLiteral("n"),
         QStringLiteral("1")},
        {QStringLiteral("settings-dir"),
         QStringLiteral("The program's settings folder, holding dosdevices/."),
         QStringLiteral("dir")},
        {QStringLiteral("transmit"), QStringLiteral("Send FILE when the port opens."),
         QStringLiteral("file")},
        {QStringLiteral("receive"), QStringLiteral("Store what the PC sends in FILE."),
         QStringLiteral("file")},
        {QStringLiteral("idle"), QStringLiteral("Drain and discard what arrives.")},
        {QStringLiteral("baud"), QStringLiteral("Pace the line at B baud (default: unpaced)."),
         QStringLiteral("b")},
        {QStringLiteral("start-delay"), QStringLiteral("Wait MS after the open (default 300)."),
         QStringLiteral("ms")},
        {QStringLiteral("no-eof"), QStringLiteral("Do not end a transmission with Ctrl-Z.")},
        {QStringLiteral("garble-mismatch"),
         QStringLiteral("Garble the line when the PC's port runs at another rate than --baud.")},
        {QStringLiteral("rx-capacity"), QStringLiteral("Receive buffer size (default 1024)."),
         QStringLiteral("n")},
        {QStringLiteral("xoff-high"), QStringLiteral("Send XOFF at this fill (default 768)."),
         QStringLiteral("n")},
        {QStringLiteral("xon-low"), QStringLiteral("Send XON at this fill (default 256)."),
         QStringLiteral("n")},
        {QStringLiteral("silence"), QStringLiteral("Stop sending for MS after AFTER chars."),
         QStringLiteral("ms,after")},
        {QStringLiteral("hangup"), QStringLiteral("Hang up after AFTER chars."),
         QStringLiteral("after")},
        {QStringLiteral("xoff-hold"), QStringLiteral("Hold XOFF for MS after AFTER chars."),
         QStringLiteral("after,ms")},
        {QStringLiteral("receive-file"),
         QStringLiteral("Where auto mode stores (default ./received.jxf)."),
         QStringLiteral("file")},
        {QStringLiteral("dump-file"), QStringLiteral("What auto mode sends."),
         QStringLiteral("file")},
    });
}

// Every option becomes the stdin command of the same name, so both take one path.
QStringList commandsFrom(const QCommandLineParser &parser)
{
    QStringList commands;
    const auto valued = [&](const char *option, const char *command) {
        const QString name = QLatin1String(option);
        if (parser.isSet(name)) {
            QString value = parser.value(name);
            commands.append(QLatin1String(command) + QLatin1Char(' ') +
                            value.replace(QLatin1Char(','), QLatin1Char(' ')));
        }
    };
    valued("baud", "baud");
    valued("start-delay", "start-delay");
    if (parser.isSet(QStringLiteral("no-eof")))
        commands.append(QStringLiteral("eof off"));
    if (parser.isSet(QStringLiteral("garble-mismatch")))
        commands.append(QStringLiteral("garble-mismatch on"));
    // The three levels are checked together, so that any order of options works.
    const auto level = [&](const char *option, qint64 fallback) {
        const QString name = QLatin1String(option);
        return parser.isSet(name) ? parser.value(name) : QString::number(fallback);
    };
    const ReceiveBuffer defaults;
    commands.append(QStringLiteral("rx-buffer %1 %2 %3")
                        .arg(level("rx-capacity", defaults.capacity),
                             level("xoff-high", defaults.xoffHigh),
                             level("xon-low", defaults.xonLow)));
    valued("silence", "silence");
    valued("hangup", "hangup");
    valued("xoff-hold", "xoff-hold");
    valued("receive-file", "receive-file");
    valued("dump-file", "dump-file");
    valued("transmit", "transmit");
    valued("receive", "receive");
    if (parser.isSet(QStringLiteral("idle")))
        commands.append(QStringLiteral("idle"));
    return commands;
}

QString linkPathFrom(const QCommandLineParser &parser, QString *error)
{
    bool ok = false;
    const int com = parser.value(QStringLiteral("com")).toInt(&ok);
    if (!ok || com < 1) {
        *error = QStringLiteral("--com needs a port number from 1");
        return {};
    }
    return comLinkPath(parser.value(QStringLiteral("settings-dir")), com);
}

} // namespace

namespace {

void runCommand(CommandInterpreter &interpreter, const QString &line)
{
    const QString command = line.trimmed();
    if (command.isEmpty() || command.startsWith(QLatin1Char('#')))
        return;
    const CommandOutcome outcome = interpreter.run(command);
    if (!outcome.ok()) {
        printEvent("ERROR", outcome.error);
        return;
    }
    printEvent("OK", command);
    if (outcome.quit)
        QCoreApplication::quit();
}

// Commands keep coming on stdin while the drive serves; at its end the drive goes on
// serving with what it was last told, so a demo can run with stdin closed.
void watchStdin(QCoreApplication &app, CommandInterpreter &interpreter)
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    auto *pending = new QByteArray;
    QObject::connect(notifier, &QObject::destroyed, [pending] { delete pending; });
    QObject::connect(notifier, &QSocketNotifier::activated, [notifier, pending, &interpreter] {
        char chunk[kStdinChunk];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (count <= 0) {
            if (count < 0)
                printEvent("ERROR", QStringLiteral("stdin: %1").arg(qt_error_string(errno)));
            notifier->setEnabled(false);
            return;
        }
        pending->append(chunk, count);
        for (qsizetype end = pending->indexOf('\n'); end >= 0; end = pending->indexOf('\n')) {
            const QString line = QString::fromLocal8Bit(pending->left(end));
            pending->remove(0, end + 1);
            runCommand(interpreter, line);
        }
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drivesim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DRIVESIM_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays a drive on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    addOptions(parser);
    parser.process(app);

    QString problem;
    const QString linkPath = linkPathFrom(parser, &problem);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "drivesim: %s\n", qPrintable(problem));
        return kUsageError;
    }
    Drive drive;
    DriveSettings settings;
    settings.dumpFile = samplesDir() + QStringLiteral("/drive-dump.mmi");
    drive.setSettings(settings);
    CommandInterpreter interpreter(drive);
    for (const QString &command : commandsFrom(parser)) {
        const CommandOutcome outcome = interpreter.run(command);
        if (!outcome.ok()) {
            std::fprintf(stderr, "drivesim: %s\n", qPrintable(outcome.error));
            return kUsageError;
        }
    }
    connectEvents(drive);
    if (!quitOnTerminationSignals(app))
        printEvent("ERROR", QStringLiteral("cannot watch signals: %1").arg(qt_error_string(errno)));
    watchStdin(app, interpreter);
    problem = drive.start(linkPath);
    if (!problem.isEmpty()) {
        printEvent("ERROR", problem);
        return kStartError;
    }
    const int code = QCoreApplication::exec();
    drive.shutDown();
    return code;
}
