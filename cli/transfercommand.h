#pragma once

class CliOutput;
namespace Cli {
struct Request;
}

// dump, receive and send: the windows' transfer session with a terminal for
// page 3. Returns the exit status.
namespace TransferCommand {
int run(const Cli::Request &request, CliOutput &output);
}
