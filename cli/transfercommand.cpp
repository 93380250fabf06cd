#include "cli/transfercommand.h"

#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "cli/filecommands.h"
#include "cli/stopsignals.h"
#include "cli/terminalview.h"
#include "report/reportfile.h"
#include "report/runreport.h"
#include "settings/lineends.h"
#include "transfer/driveinstructions.h"
#include "transfer/seriallink.h"
#include "transfer/systemclock.h"
#include "transfer/transfersession.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>

#include <optional>

namespace {

class TransferRun
{
public:
    TransferRun(const Cli::Request &request, CliOutput &output);
    int exec();

private:
    enum class Start { Started, TimedOut, Cancelled, PortLost };

    int open();
    QString checkBeforeOpening();
    int refuseDamaged(const HexCheck::Result &records);
    void showInstructions();
    Start waitForDrive();
    int notStarted(Start start);
    int transfer();
    void summarise(const TerminalView &view, bool complete);
    void noteLineErrors(qint64 lineErrors);
    int completed();
    bool warnIfDamaged();
    bool sameAsReference();
    bool writeReport();
    int end(int status, const QString &outcome, const QString &message = QString());
    int unusable(const QString &error);
    void onStop();

    const Cli::Request &m_request;
    const QString &m_fileName;
    CliOutput &m_output;
    TransferSession m_session;
    StopSignals m_stop;
    QEventLoop *m_waiting = nullptr;
    HexCheck::Result m_reference;
    bool m_createdFile = false;
    bool m_sending = false;
    QJsonObject m_json;
};

TransferRun::TransferRun(const Cli::Request &request, CliOutput &output)
    : m_request(request)
    , m_fileName(request.choices.fileName)
    , m_output(output)
    , m_stop([this] { onStop(); })
    , m_sending(TransferType::isSend(request.choices.transferType))
{}

// A stop comes in through an event pump, as page 3's Cancel does.
void TransferRun::onStop()
{
    if (m_session.running())
        m_session.cancel();
    else if (m_waiting)
        m_waiting->quit();
}

int TransferRun::exec()
{
    if (const int status = open(); status >= 0)
        return status;
    if (m_output.showsProgress())
        showInstructions();
    if (!m_sending) {
        const Start start = waitForDrive();
        if (start != Start::Started)
            return notStarted(start);
    }
    return transfer();
}

// Everything that can make the run impossible, before the port is touched.
QString TransferRun::checkBeforeOpening()
{
    if (!m_request.compareWith.isEmpty()) {
        const FileCommands::ParameterFile reference =
            FileCommands::readParameterFile(m_request.compareWith);
        if (!reference.error.isEmpty())
            return reference.error;
        m_reference = reference.checked;
    }
    const QString &report = m_request.reportPath;
    if (!report.isEmpty()) {
        const QFileInfo info(report);
        const bool writable = info.exists() ? info.isFile() && info.isWritable()
                                            : QFileInfo(info.absolutePath()).isWritable();
        if (!writable)
            return ReportFile::saveFailureText(report,
                                               QStringLiteral("The file cannot be written."));
    }
    return QString();
}

// -1 when the port and the file are open and the transfer may go on.
int TransferRun::open()
{
    if (const QString error = checkBeforeOpening(); !error.isEmpty())
        return unusable(error);
    if (!m_session.openPort(m_request.choices))
        return unusable(m_request.choices.portText + QStringLiteral(": ") +
                        m_session.portFailureMessage());
    m_createdFile = !m_sending && !QFileInfo::exists(m_fileName);
    // A script cannot answer the windows' questions: --force answers Yes to both.
    const auto forced = [force = m_request.force](const auto &) {
        return force;
    };
    const FileOpening opening = m_session.openFile({forced, forced, &StopSignals::requested});
    if (opening.opened())
        return -1;
    m_session.closePort();
    if (opening.result == OpenFileResult::Stopped)
        return end(Cli::kExitCancelled, QStringLiteral("cancelled"));
    if (opening.declined && m_sending)
        return refuseDamaged(opening.records);
    // An earlier backup stays.
    if (opening.declined)
        return unusable(m_fileName + QStringLiteral(" already exists and holds data; give "
                                                    "--force to replace it."));
    return unusable(m_fileName + QStringLiteral(": ") + openFileMessage(opening.result));
}

int TransferRun::refuseDamaged(const HexCheck::Result &records)
{
    const FileCommands::CheckFindings found = FileCommands::checkFindings(m_fileName, records);
    for (const QString &line : found.lines)
        m_output.error(line);
    const QString message =
        QStringLiteral("Nothing has been sent; give --force to send the file anyway.");
    m_output.error(message);
    m_json.insert(QStringLiteral("findings"), found.json);
    return end(Cli::kExitFailed, QStringLiteral("refused"), message);
}

void TransferRun::showInstructions()
{
    const DriveInstructions::Instructions &drive =
        DriveInstructions::forType(m_request.choices.transferType);
    m_output.note(drive.sendRecive);
    m_output.note(DriveInstructions::kSetMenuTo + QLatin1Char(' ') + drive.menuChoice);
    if (drive.driveSends)
        m_output.note(DriveInstructions::kCommence);
}

// Page 2's look, as often as page 2 takes it, until the drive starts, the
// port is lost, the time is up or a stop comes.
TransferRun::Start TransferRun::waitForDrive()
{
    QEventLoop loop;
    std::optional<Start> start;
    const auto settle = [&](Start how) {
        if (!start)
            start = how;
        loop.quit();
    };
    const auto look = [&] {
        const DriveLook look = m_session.lookForDrive();
        if (look != DriveLook::Waiting)
            settle(look == DriveLook::Started ? Start::Started : Start::PortLost);
    };
    QTimer watch;
    watch.callOnTimeout(look);
    watch.start(TransferSession::kDriveLookMsecs);
    QTimer limit;
    limit.setSingleShot(true);
    limit.callOnTimeout([&] { settle(Start::TimedOut); });
    if (m_request.startTimeout > 0)
        limit.start(m_request.startTimeout * 1000);
    m_waiting = &loop;
    look();
    if (!start && !m_stop.stopped())
        loop.exec();
    m_waiting = nullptr;
    if (m_stop.stopped())
        return Start::Cancelled;
    return start.value_or(Start::Cancelled);
}

// Nothing arrived: a file made for this run and left empty is not kept.
int TransferRun::notStarted(Start start)
{
    m_session.closePort();
    m_session.closeFile();
    if (m_createdFile && QFileInfo(m_fileName).size() == 0)
        QFile::remove(m_fileName);
    if (start == Start::Cancelled)
        return end(Cli::kExitCancelled, QStringLiteral("cancelled"));
    if (start == Start::PortLost) {
        const QString lost = transferFaultMessage(TransferFault::PortFailed);
        m_output.error(lost);
        return end(Cli::kExitFailed, QStringLiteral("failed"), lost);
    }
    const QString message =
        QStringLiteral("The drive sent nothing within %1 s. Was its serial link set to \"%2\"?")
            .arg(m_request.startTimeout)
            .arg(DriveInstructions::forType(m_request.choices.transferType).menuChoice);
    m_output.error(message);
    return end(Cli::kExitFailed, QStringLiteral("timed out"), message);
}

int TransferRun::transfer()
{
    TerminalView view(m_session.state(), m_output);
    SystemTransferClock clock;
    const RunResult run = m_session.run(view, clock);
    view.finish();
    summarise(view, run.outcome == TransferOutcome::Completed);
    noteLineErrors(run.lineErrors);
    const bool reported = writeReport();
    switch (run.outcome) {
    case TransferOutcome::Completed:
        return reported ? completed() : end(Cli::kExitFailed, QStringLiteral("failed"));
    case TransferOutcome::CancelledWhileReceiving:
    case TransferOutcome::CancelledWhileSending:
        return end(Cli::kExitCancelled, QStringLiteral("cancelled"));
    case TransferOutcome::TimedOut:
        warnIfDamaged();
        return end(Cli::kExitFailed, QStringLiteral("timed out"), TransferText::kTimeout);
    case TransferOutcome::NotRun:
    case TransferOutcome::Failed:
        break;
    }
    return end(Cli::kExitFailed, QStringLiteral("failed"), transferFaultMessage(run.fault));
}

// The loop's messages and its status line, with the count and the time.
void TransferRun::summarise(const TerminalView &view, bool complete)
{
    m_json.insert(QStringLiteral("seconds"), qRound(view.seconds() * 1000) / 1000.0);
    for (const QString &message : view.messages()) {
        if (message != view.status())
            m_output.error(message);
    }
    QString summary = view.status();
    if (!summary.endsWith(QLatin1Char('.')))
        summary += QLatin1Char('.');
    summary += QStringLiteral(" %1 characters in %2 s.")
                   .arg(m_session.state().lByteCount)
                   .arg(view.seconds(), 0, 'f', 2);
    if (complete)
        m_output.note(summary);
    else
        m_output.error(summary);
}

// The line damaged characters: a line for the person after the summary, and
// the count and the same words in JSON.
void TransferRun::noteLineErrors(qint64 lineErrors)
{
    const QString note = lineErrorNote(lineErrors);
    if (note.isEmpty())
        return;
    m_output.error(note);
    m_json.insert(QStringLiteral("lineErrors"), QJsonObject{{QStringLiteral("count"), lineErrors},
                                                            {QStringLiteral("note"), note}});
}

// A receive is complete when the drive's data is: a parameter file must be
// intact, and the same data as the reference when one is given.
int TransferRun::completed()
{
    int status = Cli::kExitOk;
    QString outcome = QStringLiteral("complete");
    if (warnIfDamaged()) {
        outcome = QStringLiteral("damaged");
        status = Cli::kExitFailed;
    }
    if (!m_request.compareWith.isEmpty() && !sameAsReference()) {
        outcome = QStringLiteral("different");
        status = Cli::kExitFailed;
    }
    return end(status, outcome);
}

bool TransferRun::sameAsReference()
{
    const FileCommands::ParameterFile got = FileCommands::readParameterFile(m_fileName);
    if (!got.error.isEmpty()) {
        m_output.error(got.error);
        return false;
    }
    const FileCommands::Comparison comparison = FileCommands::compareData(
        m_fileName, got.checked, m_request.compareWith, m_reference, m_output);
    m_json.insert(QStringLiteral("findings"), comparison.findings);
    return comparison.identical;
}

// What the windows say after a parameter file arrived damaged or incomplete;
// the file keeps what arrived all the same.
bool TransferRun::warnIfDamaged()
{
    const QString warning = m_session.receivedWarning();
    if (!warning.isEmpty())
        m_output.error(warning);
    return !warning.isEmpty();
}

// The report of the run, as the report window would save it; false when it
// was asked for and could not be written.
bool TransferRun::writeReport()
{
    if (m_request.reportPath.isEmpty())
        return true;
    const RunReport::Composed report =
        RunReport::compose(m_request.choices, m_session.results(), QDateTime::currentDateTime());
    QString failure = report.failure;
    if (failure.isEmpty()) {
        const ReportFile::WriteResult written = ReportFile::write(
            m_request.reportPath, report.text.toLatin1(), ReportFile::CreateMode::Replace);
        if (written.status != ReportFile::WriteStatus::Written)
            failure = ReportFile::saveFailureText(m_request.reportPath, written.reason);
    }
    if (!failure.isEmpty())
        m_output.error(failure);
    return failure.isEmpty();
}

int TransferRun::end(int status, const QString &outcome, const QString &message)
{
    if (!m_output.json())
        return status;
    const TransferChoices &choices = m_request.choices;
    m_json.insert(QStringLiteral("kind"), Cli::commandName(m_request.command));
    m_json.insert(QStringLiteral("file"), m_fileName);
    m_json.insert(QStringLiteral("port"), choices.portText);
    m_json.insert(QStringLiteral("baud"), choices.baudRate);
    m_json.insert(QStringLiteral("characters"), m_session.state().lByteCount);
    if (!m_json.contains(QStringLiteral("seconds")))
        m_json.insert(QStringLiteral("seconds"), 0);
    m_json.insert(QStringLiteral("outcome"), outcome);
    if (!message.isEmpty())
        m_json.insert(QStringLiteral("message"), LineEnds::messageOnOneLine(message));
    m_output.printJson(m_json);
    return status;
}

int TransferRun::unusable(const QString &error)
{
    m_output.errorLine(error);
    return end(Cli::kExitUnusable, QStringLiteral("error"), error);
}

} // namespace

namespace TransferCommand {

int run(const Cli::Request &request, CliOutput &output)
{
    TransferRun run(request, output);
    return run.exec();
}

} // namespace TransferCommand
