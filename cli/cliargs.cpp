#include "cli/cliargs.h"

#include "transfer/portnames.h"
#include "transfer/seriallink.h"
#include "transfer/transferstate.h"

#include <QCommandLineParser>

#include <algorithm>

namespace Cli {

namespace {

struct CommandInfo
{
    Command command;
    const char *name;
    int files;
};

constexpr CommandInfo kCommands[] = {
    {Command::Dump, "dump", 1},   {Command::Receive, "receive", 1}, {Command::Send, "send", 1},
    {Command::Check, "check", 1}, {Command::Compare, "compare", 2}, {Command::Ports, "ports", 0},
};

// A day: longer than anyone waits at a drive, short enough to count in milliseconds.
constexpr int kMaxStartTimeout = 24 * 60 * 60;

const QString kPort = QStringLiteral("port");
const QString kBaud = QStringLiteral("baud");
const QString kCompareWith = QStringLiteral("compare-with");
const QString kReport = QStringLiteral("report");
const QString kStartTimeout = QStringLiteral("start-timeout");
const QString kQuiet = QStringLiteral("quiet");
const QString kJson = QStringLiteral("json");
const QString kForce = QStringLiteral("force");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version"); // Qt's own option
const QString kMap = QStringLiteral("map");
const QString kUnmap = QStringLiteral("unmap");

void addOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {kPort, QString(), QStringLiteral("port")},
        {kBaud, QString(), QStringLiteral("n")},
        {kCompareWith, QString(), QStringLiteral("ref")},
        {kReport, QString(), QStringLiteral("file")},
        {kStartTimeout, QString(), QStringLiteral("seconds")},
        {kQuiet, QString()},
        {kJson, QString()},
        {kForce, QString()},
        {{QStringLiteral("h"), kHelp}, QString()},
        {kMap, QString(), QStringLiteral("com")},
        {kUnmap, QString(), QStringLiteral("com")},
    });
    parser.addVersionOption(); // -v, --version
}

// The options each command takes besides --quiet and --json.
QStringList optionsOf(Command command)
{
    switch (command) {
    case Command::Dump:
        return {kPort, kBaud, kReport, kStartTimeout, kForce};
    case Command::Receive:
        return {kPort, kBaud, kReport, kStartTimeout, kForce, kCompareWith};
    case Command::Send:
        return {kPort, kBaud, kReport, kForce};
    case Command::Ports:
        return {kMap, kUnmap};
    case Command::Check:
    case Command::Compare:
        break;
    }
    return {};
}

bool takesValue(const QString &option)
{
    return option == kPort || option == kBaud || option == kCompareWith || option == kReport ||
           option == kStartTimeout || option == kMap || option == kUnmap;
}

// The port as a COM number or a device path; anything else is wrong use.
std::optional<QString> takePort(const QString &text, TransferChoices &choices)
{
    choices.portNumber = PortNames::comNumber(text);
    if (choices.portNumber > 0) {
        choices.portText = PortNames::comName(choices.portNumber);
        return std::nullopt;
    }
    if (!text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('\\')))
        return QStringLiteral("%1 is no port: give %2").arg(text, PortNames::portChoices());
    choices.devicePath = text;
    choices.portText = text;
    return std::nullopt;
}

std::optional<QString> takeBaud(const QString &text, TransferChoices &choices)
{
    bool isNumber = false;
    const qint32 rate = text.toInt(&isNumber);
    const auto &rates = SerialLink::kBaudRates;
    if (!isNumber || QString::number(rate) != text ||
        std::find(rates.begin(), rates.end(), rate) == rates.end()) {
        QStringList offered;
        for (qint32 each : rates)
            offered.append(QString::number(each));
        return QStringLiteral("%1 is no baud rate the drive offers: give one of %2")
            .arg(text, offered.join(QStringLiteral(", ")));
    }
    choices.baudRate = rate;
    choices.baudText = text;
    return std::nullopt;
}

qint16 transferTypeOf(Command command)
{
    return command == Command::Dump      ? TransferType::kMmiDump
           : command == Command::Receive ? TransferType::kJxfFromDrive
                                         : TransferType::kJxfToDrive;
}

std::optional<QString> takeTransfer(const QCommandLineParser &parser, Request &request)
{
    TransferChoices &choices = request.choices;
    choices.transferType = transferTypeOf(request.command);
    choices.fileName = request.files.first();
    if (!parser.isSet(kPort))
        return QStringLiteral("%1 needs --port").arg(commandName(request.command));
    if (auto error = takePort(parser.value(kPort), choices))
        return error;
    if (auto error = takeBaud(parser.isSet(kBaud) ? parser.value(kBaud)
                                                  : QString::number(SerialLink::kDefaultBaudRate),
                              choices))
        return error;
    if (parser.isSet(kStartTimeout)) {
        bool isNumber = false;
        request.startTimeout = parser.value(kStartTimeout).toInt(&isNumber);
        if (!isNumber || request.startTimeout < 0 || request.startTimeout > kMaxStartTimeout)
            return QStringLiteral("--start-timeout takes a whole number of seconds up to %1, 0 "
                                  "for no limit")
                .arg(kMaxStartTimeout);
    }
    request.compareWith = parser.value(kCompareWith);
    request.reportPath = parser.value(kReport);
    request.force = parser.isSet(kForce);
    return std::nullopt;
}

std::optional<QString> takePorts(const QCommandLineParser &parser, Request &request)
{
    const bool map = parser.isSet(kMap);
    if (map && parser.isSet(kUnmap))
        return QStringLiteral("ports takes --map or --unmap, not both");
    if (request.files.size() != (map ? 1 : 0) || request.files.contains(QString()))
        return map ? QStringLiteral("ports --map takes COMn and the device it is to lead to")
                   : QStringLiteral("ports takes no file");
    if (!map && !parser.isSet(kUnmap))
        return std::nullopt;
    const QString com = parser.value(map ? kMap : kUnmap);
    PortMapping mapping{!map, PortNames::comNumber(com), map ? request.files.first() : QString()};
    if (mapping.portNumber == 0)
        return QStringLiteral("%1 is no port: give COM1 to COM%2")
            .arg(com)
            .arg(PortNames::kComPorts);
    request.mapping = mapping;
    return std::nullopt;
}

std::optional<QString> takeCommand(const QCommandLineParser &parser, Request &request)
{
    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return QStringLiteral("no command given");
    const QString name = words.takeFirst();
    const auto *info =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [&](const CommandInfo &c) { return name == QLatin1String(c.name); });
    if (info == std::end(kCommands))
        return QStringLiteral("%1 is no command").arg(name);
    request.command = info->command;
    // ports counts its words itself: --map takes the device as one.
    if (request.command != Command::Ports &&
        (words.size() != info->files || words.contains(QString())))
        return QStringLiteral("%1 takes %2")
            .arg(name, info->files == 1 ? QStringLiteral("one file") : QStringLiteral("two files"));
    request.files = words;
    const QStringList allowed = optionsOf(request.command);
    for (const QString &option : parser.optionNames()) {
        const QString longName = option.size() == 1 ? kHelp : option;
        if (longName != kQuiet && longName != kJson && !allowed.contains(longName))
            return QStringLiteral("%1 takes no --%2").arg(name, longName);
        // A flag has no value to ask for: Qt 6.8 warns about the question itself.
        if (takesValue(longName) && parser.value(option).isEmpty())
            return QStringLiteral("--%1 needs a value").arg(longName);
    }
    request.quiet = parser.isSet(kQuiet);
    request.json = parser.isSet(kJson);
    if (request.command == Command::Ports)
        return takePorts(parser, request);
    return request.isTransfer() ? takeTransfer(parser, request) : std::nullopt;
}

} // namespace

QString commandName(Command command)
{
    for (const CommandInfo &info : kCommands) {
        if (info.command == command)
            return QLatin1String(info.name);
    }
    return QString();
}

Parsed parseArgs(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    Parsed parsed;
    const bool understood = parser.parse(arguments);
    parsed.json = parser.isSet(kJson);
    if (!understood) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet(kVersion))
        parser.showVersion(); // Qt's own line, "quillet-cli 1.4.145"; ends with status 0
    if (parser.isSet(kHelp)) {
        parsed.help = true;
        return parsed;
    }
    Request request;
    if (auto error = takeCommand(parser, request))
        parsed.error = *error;
    else
        parsed.request = request;
    return parsed;
}

QString usageText()
{
    const QString text = QStringLiteral(
        "Usage:\n"
        "  quillet-cli dump    FILE --port PORT [--baud N]   receive the drive's MMI dump into "
        "FILE\n"
        "  quillet-cli receive FILE --port PORT [--baud N] [--compare-with REF]\n"
        "                                                   receive the drive's parameter file\n"
        "  quillet-cli send    FILE --port PORT [--baud N]   send a parameter file to the drive\n"
        "  quillet-cli check   FILE                         check a parameter file's records\n"
        "  quillet-cli compare A B                          compare two parameter files' data\n"
        "  quillet-cli ports                                list the serial ports and devices\n"
        "  quillet-cli ports --map COMn DEVICE              make COMn lead to DEVICE\n"
        "  quillet-cli ports --unmap COMn                   let COMn lead to its default again\n"
        "\n"
        "Options:\n"
        "  --port PORT          %1\n"
        "  --baud N             300, 600, 1200, 2400, 4800, 9600, 19200, 38400 or 57600 (9600)\n"
        "  --compare-with REF   receive: compare the received data with REF\n"
        "  --report FILE        write the transfer's report into FILE\n"
        "  --start-timeout S    dump, receive: wait at most S seconds for the drive to start\n"
        "                       (60; 0 waits for ever)\n"
        "  --force              dump, receive: replace a file that holds data;\n"
        "                       send: send a parameter file with damaged records\n"
        "  --map COMn DEVICE    ports: make COMn lead to DEVICE, by its name under\n"
        "                       /dev/serial/by-id when it has one\n"
        "  --unmap COMn         ports: let COMn lead to /dev/ttyS<n-1> again\n"
        "  --quiet              print nothing but errors\n"
        "  --json               print one JSON object at the end\n"
        "  -h, --help           print this help\n"
        "  -v, --version        print the name and version\n"
        "\n"
        "Exit status: 0 complete (check: intact; compare: same data), 1 failed or timed out\n"
        "(check: damaged; compare: different), 2 wrong use or a file or port that cannot be\n"
        "used, 130 cancelled.\n");
    return text.arg(PortNames::portChoices());
}

} // namespace Cli
