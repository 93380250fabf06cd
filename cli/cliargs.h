#pragma once

#include "transfer/transferchoices.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for, checked: a request that comes out of
// parseArgs names a known command with the files, port and rate it needs.
namespace Cli {

enum class Command { Dump, Receive, Send, Check, Compare, Ports };

// The exit statuses a script can rely on.
enum ExitStatus : int {
    kExitOk = 0,       // complete; check: intact; compare: same data
    kExitFailed = 1,   // failed or timed out; check: damaged; compare: different
    kExitUnusable = 2, // wrong use, or a file or port that cannot be used
    kExitCancelled = 130,
};

// How long dump and receive wait for the drive's first characters when no
// --start-timeout is given: time to walk to the drive and work its menu,
// without holding a script for ever when the drive never answers.
constexpr int kDefaultStartTimeout = 60;

// ports --map COMn DEVICE, or --unmap COMn.
struct PortMapping
{
    bool unmap = false;
    qint16 portNumber = 0;
    QString device;
};

struct Request
{
    Command command = Command::Check;
    QStringList files;       // FILE, or A and B for compare
    TransferChoices choices; // transfers only; fileName is files.first()
    QString compareWith;
    QString reportPath;
    int startTimeout = kDefaultStartTimeout; // seconds; 0 waits for ever
    bool quiet = false;
    bool json = false;
    bool force = false;
    std::optional<PortMapping> mapping; // ports only

    bool isTransfer() const { return command <= Command::Send; }
};

struct Parsed
{
    std::optional<Request> request;
    bool help = false;
    QString error;     // why the arguments are wrong use, when neither of the above
    bool json = false; // --json was given, even among wrong use
};

Parsed parseArgs(const QStringList &arguments);

QString usageText();

// The name of a command as typed, and the name the JSON output gives it.
QString commandName(Command command);

} // namespace Cli
