#include "cli/filecommands.h"

#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "settings/lineends.h"
#include "transfer/hexcheck.h"
#include "transfer/paramimage.h"
#include "transfer/transferfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

namespace FileCommands {

namespace {

QString damageText(HexCheck::Damage damage)
{
    switch (damage) {
    case HexCheck::Damage::TooLong:
        return QStringLiteral("longer than any record can be");
    case HexCheck::Damage::BadHexDigit:
        return QStringLiteral("a character that is not a hex digit");
    case HexCheck::Damage::BadLength:
        return QStringLiteral("its length does not match its length byte");
    case HexCheck::Damage::BadChecksum:
        break;
    }
    return QStringLiteral("wrong checksum");
}

QString hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString addressText(quint32 address)
{
    return QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

QJsonObject rangeJson(const char *kind, const ParamImage::Range &range)
{
    const qsizetype size = std::max(range.a.size(), range.b.size());
    QJsonObject object{{QStringLiteral("kind"), QLatin1String(kind)},
                       {QStringLiteral("first"), addressText(range.first)},
                       {QStringLiteral("last"), addressText(range.first + quint32(size) - 1)}};
    if (!range.a.isEmpty())
        object.insert(QStringLiteral("a"), hexText(range.a));
    if (!range.b.isEmpty())
        object.insert(QStringLiteral("b"), hexText(range.b));
    return object;
}

void addProblems(QJsonArray &findings, const char *file, const QList<ParamImage::Problem> &problems)
{
    for (const ParamImage::Problem &problem : problems)
        findings.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("problem")},
                                    {QStringLiteral("file"), QLatin1String(file)},
                                    {QStringLiteral("line"), problem.line},
                                    {QStringLiteral("what"), problem.what}});
}

QJsonArray comparisonJson(const ParamImage::Comparison &comparison)
{
    QJsonArray findings;
    addProblems(findings, "a", comparison.problemsA);
    addProblems(findings, "b", comparison.problemsB);
    for (const ParamImage::Range &range : comparison.differing)
        findings.append(rangeJson("differ", range));
    for (const ParamImage::Range &range : comparison.onlyInA)
        findings.append(rangeJson("only in a", range));
    for (const ParamImage::Range &range : comparison.onlyInB)
        findings.append(rangeJson("only in b", range));
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

} // namespace

ParameterFile readParameterFile(const QString &path)
{
    const QFileInfo info(path);
    const QString missing =
        path + QStringLiteral(": ") + openFileMessage(OpenFileResult::MissingOrEmpty);
    // Only a plain file has an end: a pipe or a device could be read for ever.
    if (!info.isFile())
        return {{}, missing};
    const QString tooLarge =
        QStringLiteral("%1: Selected file is larger than %2 MiB, too large for a parameter file.")
            .arg(path)
            .arg(kMaxParameterFile / (1024 * 1024));
    if (info.size() > kMaxParameterFile)
        return {{}, tooLarge};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, missing};
    // One more than the limit, in case the file grew since it was measured.
    ParameterFile read{file.read(kMaxParameterFile + 1), {}};
    if (file.error() != QFileDevice::NoError || read.bytes.isEmpty())
        return {{}, missing};
    if (read.bytes.size() > kMaxParameterFile)
        return {{}, tooLarge};
    return read;
}

CheckFindings checkFindings(const QString &name, const HexCheck::Result &result)
{
    CheckFindings found;
    for (const HexCheck::Finding &finding : result.findings) {
        const QString what = damageText(finding.damage);
        found.lines.append(QStringLiteral("%1 line %2: %3").arg(name).arg(finding.line).arg(what));
        found.json.append(
            QJsonObject{{QStringLiteral("line"), finding.line}, {QStringLiteral("what"), what}});
    }
    if (result.damaged > result.findings.size())
        found.lines.append(QStringLiteral("%1: %2 more damaged record(s) not listed")
                               .arg(name)
                               .arg(result.damaged - result.findings.size()));
    if (!result.hasEndRecord) {
        const QString what = QStringLiteral("no end record (:00000001FF) on a line of its own");
        found.lines.append(name + QStringLiteral(": ") + what);
        found.json.append(QJsonObject{{QStringLiteral("line"), 0}, {QStringLiteral("what"), what}});
    }
    return found;
}

int check(const Cli::Request &request, CliOutput &output)
{
    const QString &name = request.files.first();
    const ParameterFile file = readParameterFile(name);
    if (!file.error.isEmpty())
        return unusable(request, file.error, output);
    const HexCheck::Result result = HexCheck::checkText(file.bytes);
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

Comparison compareData(const QString &nameA, const QByteArray &a, const QString &nameB,
                       const QByteArray &b, CliOutput &output)
{
    const ParamImage::Comparison comparison =
        ParamImage::compare(ParamImage::Image::fromText(a), ParamImage::Image::fromText(b));
    output.result(comparison.toText(nameA, nameB).chopped(1));
    return {comparison.identical(), comparisonJson(comparison)};
}

int compare(const Cli::Request &request, CliOutput &output)
{
    const ParameterFile a = readParameterFile(request.files.at(0));
    const ParameterFile b = readParameterFile(request.files.at(1));
    if (!a.error.isEmpty() || !b.error.isEmpty())
        return unusable(request, a.error.isEmpty() ? b.error : a.error, output);
    const Comparison result =
        compareData(request.files.at(0), a.bytes, request.files.at(1), b.bytes, output);
    if (output.json()) {
        QJsonObject object = fileJson(request, result.identical ? "identical" : "different");
        object.insert(QStringLiteral("findings"), result.findings);
        output.printJson(object);
    }
    return result.identical ? Cli::kExitOk : Cli::kExitFailed;
}

} // namespace FileCommands
