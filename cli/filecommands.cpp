#include "cli/filecommands.h"

#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "settings/lineends.h"
#include "transfer/hexchecktext.h"
#include "transfer/paramfile.h"
#include "transfer/paramimage.h"

#include <QJsonObject>

#include <utility>

namespace FileCommands {

namespace {

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QJsonObject rangeJson(const char *kind, const ParamImage::Range &range)
{
    QJsonObject object{{QStringLiteral("kind"), QLatin1String(kind)},
                       {QStringLiteral("first"), ParamImage::firstText(range)},
                       {QStringLiteral("last"), ParamImage::lastText(range)}};
    if (!range.a.isEmpty())
        object.insert(QStringLiteral("a"), hexText(range.a));
    if (!range.b.isEmpty())
        object.insert(QStringLiteral("b"), hexText(range.b));
    return object;
}

// file names the side of a comparison ("a" or "b"); check leaves it out.
void addRemarks(QJsonArray &findings, const HexCheck::Result &result, const char *file = nullptr)
{
    for (const HexCheck::Remark &remark : HexCheck::remarks(result)) {
        QJsonObject object{{QStringLiteral("kind"),
                            remark.damage ? QStringLiteral("problem") : QStringLiteral("note")},
                           {QStringLiteral("line"), remark.line},
                           {QStringLiteral("what"), remark.what}};
        if (file)
            object.insert(QStringLiteral("file"), QLatin1String(file));
        findings.append(object);
    }
}

QJsonArray comparisonJson(const ParamImage::Comparison &comparison)
{
    QJsonArray findings;
    addRemarks(findings, comparison.checkA, "a");
    addRemarks(findings, comparison.checkB, "b");
    for (const ParamImage::Range &range : comparison.differing)
        findings.append(rangeJson("differ", range));
    for (const ParamImage::Range &range : comparison.onlyInA)
        findings.append(rangeJson("only in a", range));
    for (const ParamImage::Range &range : comparison.onlyInB)
        findings.append(rangeJson("only in b", range));
    if (comparison.unlisted > 0)
        findings.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("not listed")},
                                    {QStringLiteral("ranges"), comparison.unlisted}});
    if (comparison.startAddressesDiffer())
        findings.append(QJsonObject{
            {QStringLiteral("kind"), QStringLiteral("start address")},
            {QStringLiteral("a"), ParamImage::startAddressText(comparison.checkA.startAddress)},
            {QStringLiteral("b"), ParamImage::startAddressText(comparison.checkB.startAddress)}});
    return findings;
}

QJsonObject fileJson(const Cli::Request &request, const char *outcome)
{
    QJsonObject object{{QStringLiteral("kind"), Cli::commandName(request.command)},
                       {QStringLiteral("file"), request.files.first()},
                       {QStringLiteral("outcome"), QLatin1String(outcome)}};
    if (request.files.size() > 1)
        object.insert(QStringLiteral("other"), request.files.at(1));
    return object;
}

int unusable(const Cli::Request &request, const QString &error, CliOutput &output)
{
    output.errorLine(error);
    if (output.json()) {
        QJsonObject object = fileJson(request, "error");
        object.insert(QStringLiteral("message"), LineEnds::messageOnOneLine(error));
        output.printJson(object);
    }
    return Cli::kExitUnusable;
}

// Why the file cannot be used, in the command's words; empty when it can.
QString refusal(const ParamFile::Reading &reading)
{
    switch (reading.status) {
    case ParamFile::Status::Read:
        return reading.size == 0 ? QStringLiteral("the file is empty") : QString();
    case ParamFile::Status::Missing:
        return QStringLiteral("there is no such file");
    case ParamFile::Status::Folder:
        return QStringLiteral("a folder, not a file");
    case ParamFile::Status::NotPlain:
        return QStringLiteral("not a plain file (a pipe, a device or a socket)");
    case ParamFile::Status::TooLarge:
        return QStringLiteral("the file is larger than %1 MiB, too large for a parameter file")
            .arg(kMaxParameterFile / (1024 * 1024));
    case ParamFile::Status::Unreadable:
    case ParamFile::Status::Stopped: // the command asks for no stop
        break;
    }
    return QStringLiteral("the file cannot be read (%1)").arg(reading.reason);
}

} // namespace

ParameterFile readParameterFile(const QString &path)
{
    ParamFile::Checked file = ParamFile::check(path, kMaxParameterFile);
    const QString why = refusal(file.reading);
    if (!why.isEmpty())
        return {{}, path + QStringLiteral(": ") + why};
    return {std::move(file.result), {}};
}

CheckFindings checkFindings(const QString &name, const HexCheck::Result &result)
{
    CheckFindings found;
    for (const HexCheck::Remark &remark : HexCheck::remarks(result))
        found.lines.append(HexCheck::remarkText(name, remark));
    addRemarks(found.json, result);
    return found;
}

int check(const Cli::Request &request, CliOutput &output)
{
    const QString &name = request.files.first();
    const ParameterFile file = readParameterFile(name);
    if (!file.error.isEmpty())
        return unusable(request, file.error, output);
    const HexCheck::Result &result = file.checked;
    const CheckFindings found = checkFindings(name, result);
    for (const QString &line : found.lines)
        output.result(line);
    if (result.isClean())
        output.result(QStringLiteral("%1: intact, %2 record(s)").arg(name).arg(result.records));
    if (output.json()) {
        QJsonObject object = fileJson(request, result.isClean() ? "intact" : "damaged");
        object.insert(QStringLiteral("records"), result.records);
        object.insert(QStringLiteral("damaged"), result.damaged);
        object.insert(QStringLiteral("findings"), found.json);
        output.printJson(object);
    }
    return result.isClean() ? Cli::kExitOk : Cli::kExitFailed;
}

Comparison compareData(const QString &nameA, HexCheck::Result a, const QString &nameB,
                       HexCheck::Result b, CliOutput &output)
{
    const ParamImage::Comparison comparison = ParamImage::compare(std::move(a), std::move(b));
    output.result(comparison.toText(nameA, nameB).chopped(1));
    return {comparison.identical(), output.json() ? comparisonJson(comparison) : QJsonArray()};
}

int compare(const Cli::Request &request, CliOutput &output)
{
    ParameterFile a = readParameterFile(request.files.at(0));
    if (!a.error.isEmpty())
        return unusable(request, a.error, output);
    ParameterFile b = readParameterFile(request.files.at(1));
    if (!b.error.isEmpty())
        return unusable(request, b.error, output);
    const Comparison result = compareData(request.files.at(0), std::move(a.checked),
                                          request.files.at(1), std::move(b.checked), output);
    if (output.json()) {
        QJsonObject object = fileJson(request, result.identical ? "identical" : "different");
        object.insert(QStringLiteral("findings"), result.findings);
        output.printJson(object);
    }
    return result.identical ? Cli::kExitOk : Cli::kExitFailed;
}

} // namespace FileCommands
