#pragma once

#include "table.h"

#include <QStringList>

#include <functional>

// Runs one measuring process, `quilletbench run ARGS`, and reads what it printed.
using Measure = std::function<RunOutput(const QStringList &)>;

// One program's runs on the line, and the words its rows start with (none
// for the windows, "`quillet-cli`" for the command).
struct LineRuns
{
    QString send;
    QString receive;
    QString who;
};

// Line efficiency both ways, and the send against ascii-xfr's measured right
// after it on the same paced line.
void lineFigures(Table &table, const Measure &measure, const LineRuns &runs, int baud, int chars);
