#pragma once

class CliOutput;
namespace Cli {
struct Request;
}

// ports: where each COM number leads and what is there, then the serial
// devices no COM number leads to; with --map or --unmap, changes where one
// COM number leads.
namespace PortsCommand {

int run(const Cli::Request &request, CliOutput &output);

} // namespace PortsCommand
