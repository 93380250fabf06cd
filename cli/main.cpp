// quillet-cli: the program's transfers, check and compare, and its serial
// ports, from a terminal or a script. No display and no window library: Qt Core and the serial
// port.
#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "cli/filecommands.h"
#include "cli/portscommand.h"
#include "cli/transfercommand.h"
#include "settings/appinfo.h"
#include "transfer/filenames.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-cli"));
    QCoreApplication::setApplicationVersion(AppInfo::version());
    const Cli::Parsed parsed = Cli::parseArgs(FileNames::arguments(argc, argv));
    if (parsed.help) {
        std::fputs(qPrintable(Cli::usageText()), stdout);
        return Cli::kExitOk;
    }
    if (!parsed.request) {
        CliOutput(false, parsed.json).wrongUse(parsed.error);
        return Cli::kExitUnusable;
    }
    const Cli::Request &request = *parsed.request;
    CliOutput output(request.quiet, request.json);
    switch (request.command) {
    case Cli::Command::Check:
        return FileCommands::check(request, output);
    case Cli::Command::Compare:
        return FileCommands::compare(request, output);
    case Cli::Command::Ports:
        return PortsCommand::run(request, output);
    case Cli::Command::Dump:
    case Cli::Command::Receive:
    case Cli::Command::Send:
        break;
    }
    return TransferCommand::run(request, output);
}
