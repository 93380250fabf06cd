#pragma once

#include "linefigures.h"

#include <QStringList>

#include <functional>

// quillet-cli's own figures, beside the windows' on the same paced line.
namespace BenchCli {

// The measuring runs, each in a process of its own: cli-send BAUD CHARS,
// cli-receive BAUD CHARS, cli-cpu.
bool isRun(const QString &what);
int run(const QString &what, int baud, int chars);

// The command's line efficiency both ways and its send against ascii-xfr's,
// 12,000 characters at 9600 and 57600 baud, and its CPU while it receives.
void figures(Table &table, const Measure &measure);

} // namespace BenchCli
