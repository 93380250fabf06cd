#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

#include "transfer/hexcheck.h"

class CliOutput;
namespace Cli {
struct Request;
}

// check and compare, and the compare that follows a receive.
namespace FileCommands {

// No drive's parameter set comes near this; a larger file is refused before
// it is read, so a file of gigabytes neither hangs the command nor fills memory.
constexpr qint64 kMaxParameterFile = 16 * 1024 * 1024;

struct ParameterFile
{
    HexCheck::Result checked; // its records and data, as the check reads them
    QString error; // why the file cannot be used, in the command's words; empty when read
};

// A plain file of at least one character and at most kMaxParameterFile; path
// as FileNames gives it, so that any name the system has opens.
ParameterFile readParameterFile(const QString &path);

int check(const Cli::Request &request, CliOutput &output);

// What the check found in the parameter file name: one line for each damaged
// record, one for a missing end record, and the notes (records after the end
// record); empty for a clean file without notes.
struct CheckFindings
{
    QStringList lines;
    QJsonArray json;
};
CheckFindings checkFindings(const QString &name, const HexCheck::Result &result);
int compare(const Cli::Request &request, CliOutput &output);

struct Comparison
{
    bool identical = false;
    QJsonArray findings;
};

// Compares the data of two parameter files already read, prints the result
// and returns it, with its findings for the JSON object when there is one.
Comparison compareData(const QString &nameA, HexCheck::Result a, const QString &nameB,
                       HexCheck::Result b, CliOutput &output);

} // namespace FileCommands
