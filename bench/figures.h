#pragma once

#include "table.h"

#include <QStringList>

// Runs `quilletbench run <args>` in a process of its own and reads what it printed.
RunOutput measure(const QStringList &args);

// What receiving and sending cost the program, from outside, next to
// ascii-xfr on the same paced line; and page 2's wait for the drive.
void cpuFigures(Table &table);

// How soon the program answers a screen reader while it receives or sends,
// next to the same with no transfer running.
void latencyFigures(Table &table);
