#include "cli/filecommands.h"

#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "cli/filenames.h"
#include "settings/lineends.h"
#include "transfer/hexchecktext.h"
#include "transfer/paramimage.h"

#include <QFile>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileCommands {

namespace {

#ifdef Q_OS_WIN
// Windows has no named pipe that a file name could turn into, and gives the
// bytes as they are only in binary mode.
constexpr int kOpenFlags = O_RDONLY | O_BINARY | O_NOINHERIT;
#else
// Not blocking: should a pipe have taken the file's place since, the open does not wait.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
#endif

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

ParameterFile refused(const QString &path, const QString &why)
{
    return {{}, path + QStringLiteral(": ") + why};
}

ParameterFile unreadable(const QString &path, const QString &reason)
{
    return refused(path, QStringLiteral("the file cannot be read (%1)").arg(reason));
}

ParameterFile tooLarge(const QString &path)
{
    return refused(path, QStringLiteral("the file is larger than %1 MiB, too large for a "
                                        "parameter file")
                             .arg(kMaxParameterFile / (1024 * 1024)));
}

// Why the file at name cannot be read as a parameter file, before it is opened.
ParameterFile refusedBeforeOpening(const QString &path, const QByteArray &name)
{
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return refused(path, QStringLiteral("there is no such file"));
        return unreadable(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISDIR(info.st_mode))
        return refused(path, QStringLiteral("a folder, not a file"));
    // Only a plain file has an end: a pipe or a device could be read for ever.
    if (!S_ISREG(info.st_mode))
        return refused(path, QStringLiteral("not a plain file (a pipe, a device or a socket)"));
    if (info.st_size > kMaxParameterFile)
        return tooLarge(path);
    return {};
}

} // namespace

ParameterFile readParameterFile(const QString &path)
{
    const QByteArray name = FileNames::toSystem(path);
    if (ParameterFile before = refusedBeforeOpening(path, name); !before.error.isEmpty())
        return before;
    const int fd = ::open(name.constData(), kOpenFlags);
    if (fd < 0)
        return unreadable(path, QString::fromLocal8Bit(std::strerror(errno)));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return unreadable(path, file.errorString());
    }
    // One more than the limit, in case the file grew since it was measured.
    ParameterFile read{file.read(kMaxParameterFile + 1), {}};
    if (file.error() != QFileDevice::NoError)
        return unreadable(path, file.errorString());
    if (read.bytes.isEmpty())
        return refused(path, QStringLiteral("the file is empty"));
    if (read.bytes.size() > kMaxParameterFile)
        return tooLarge(path);
    return read;
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
        ParamImage::compare(HexCheck::checkText(a), HexCheck::checkText(b));
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
