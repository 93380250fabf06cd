#pragma once

// quillet-cli's measuring runs, each in a process of its own; each prints one
// line: RESULT key=value ...
namespace BenchCliRuns {

// The command sending a file of chars characters to the drive at baud.
int send(int baud, int chars);
// The command receiving chars characters (and the end of data) at baud.
int receive(int baud, int chars);
// CPU seconds per second while the command waits for the drive, and during
// a 9600-baud receive.
int cpu();

} // namespace BenchCliRuns
