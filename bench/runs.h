#pragma once

#include <QString>

// One measurement, run inside a process of its own so that its CPU time and
// memory are its own. Each prints one line: RESULT key=value ...
namespace BenchRuns {

// The real pages sending a file of chars characters to the drive at baud.
int send(int baud, int chars);
// The same file sent by ascii-xfr into the same paced line.
int plainToolSend(int baud, int chars);
// The same dump received by ascii-xfr -r from the same paced line.
int plainToolReceive(int baud, int chars);
// The quillet program in a process of its own, driven through its windows,
// receiving or sending; its CPU from the first character to the run's end.
// accessibility: with Qt's accessibility bridge always on.
int programReceive(int baud, int chars, bool accessibility);
int programSend(int baud, int chars, bool accessibility);
// The quillet program receiving (or sending) chars at baud while an AT-SPI
// client asks it, over and over, as a screen reader does; the same again
// once the run is over.
int programLatency(bool receiving, int baud, int chars);
// The real pages receiving chars characters (and the end of data) at baud.
int receive(int baud, int chars);
// CPU seconds per second while page 2 waits for the drive.
int cpu();
// Characters a second the send loop pushes into an unpaced line.
int ceiling(int chars);

} // namespace BenchRuns
