#include "transfer/transfersession.h"

#include "transfer/commport.h"
#include "transfer/hexchecktext.h"
#include "transfer/paramfile.h"
#include "transfer/seriallink.h"

TransferSession::TransferSession()
    : m_port(std::make_unique<CommPort>())
{}

TransferSession::~TransferSession() = default;

bool TransferSession::openPort(const TransferChoices &choices)
{
    m_state.iTransferType = choices.transferType;
    m_state.iPortNumber = choices.portNumber;
    m_state.lBaudRate = choices.baudRate;
    m_state.sFileName = choices.fileName;
    return openCommPort(*m_port, choices);
}

QString TransferSession::portFailureMessage() const
{
    return serialLinkErrorMessage(*m_port);
}

void TransferSession::closePort()
{
    closeCommPort(*m_port);
}

bool TransferSession::portOpen() const
{
    return m_port->portOpen();
}

qint64 TransferSession::inputWaiting()
{
    return m_port->inBufferCount();
}

DriveLook TransferSession::lookForDrive()
{
    if (!portOpen())
        return DriveLook::Waiting;
    // Characters that came before a loss start the run, which keeps them and
    // then says the port was lost.
    if (inputWaiting() > 0)
        return DriveLook::Started;
    return m_port->lost() ? DriveLook::PortLost : DriveLook::Waiting;
}

void TransferSession::chooseFile(qint16 transferType, const QString &fileName)
{
    m_state.iTransferType = transferType;
    m_state.sFileName = fileName;
}

void TransferSession::nameFile(const QString &fileName)
{
    m_state.sFileName = fileName;
}

FileOpening TransferSession::openFile(const FileQuestions &questions)
{
    const auto answer = [](const auto &question, const auto &about) {
        return question && question(about);
    };
    FileOpening opening;
    const bool sending = TransferType::isSend(m_state.iTransferType);
    // Receiving empties the file at once: one that holds something, such as an
    // earlier backup of the drive, is only given up when the answer says so.
    if (!sending && receiveWouldReplaceData(m_state.sFileName) &&
        !answer(questions.replaceData, m_state.sFileName)) {
        opening.declined = true;
        return opening;
    }
    opening.result = openTransferFile(m_state, m_file, &opening.records, questions.stopped);
    // A damaged parameter set sent to a running machine is worse than none:
    // the question comes before any character reaches the drive.
    if (opening.result == OpenFileResult::Ok && sending && !opening.records.isClean() &&
        !answer(questions.sendDamaged, opening.records)) {
        closeFile();
        opening.declined = true;
    }
    return opening;
}

void TransferSession::closeFile()
{
    closeTransferFile(m_file);
}

RunResult TransferSession::run(TransferView &view, TransferClock &clock)
{
    TransferLoop loop(m_state, *m_port, m_file, view, clock);
    m_lastRun = loop.run();
    return m_lastRun;
}

void TransferSession::cancel()
{
    m_state.bAbortTransfer = true;
    closeFile();
    closePort();
}

std::optional<HexCheck::Result> TransferSession::receivedCheck() const
{
    // A time-out leaves what arrived, which may be a part of a parameter file.
    const bool stored = m_lastRun.outcome == TransferOutcome::Completed ||
                        m_lastRun.outcome == TransferOutcome::TimedOut;
    if (!stored || m_state.iTransferType != TransferType::kJxfFromDrive)
        return std::nullopt;
    return ParamFile::check(m_state.sFileName).result;
}

QString TransferSession::receivedWarning() const
{
    const std::optional<HexCheck::Result> check = receivedCheck();
    return check ? HexCheck::receivedWarning(*check) : QString();
}

TransferResults TransferSession::results() const
{
    return {m_state.iTransferType, m_state.lByteCount, m_state.dtTransferStarted, m_state.sFileName,
            m_lastRun.lineErrors};
}

TransferSession &transferSession()
{
    static TransferSession session;
    return session;
}
