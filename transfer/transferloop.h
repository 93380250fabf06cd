#pragma once

#include "transfer/transferview.h"

#include <QString>
#include <QtGlobal>

struct TransferState;
class LinePort;
class TransferFile;

namespace TransferText {
inline const QString kInProgress = QStringLiteral("File Transfer in progress.");
inline const QString kRetrying = QStringLiteral("Nothing to recieve... Retrying");
inline const QString kComplete = QStringLiteral("File Transfer complete.");
inline const QString kAborted = QStringLiteral("File Transfer aborted by user.");
inline const QString kTimeout = QStringLiteral("Timeout on Coms. No data to recieve");
inline const QString kStopped = QStringLiteral("File Transfer stopped.");
inline const QString kCancelCaption = QStringLiteral("Cancel");
inline const QString kFinishCaption = QStringLiteral("Finish");
inline const QString kFullPercent = QStringLiteral("100%");
} // namespace TransferText

// What stopped a run that could not go on.
enum class TransferFault {
    None,
    PortFailed,
    FileReadFailed,
    FileShorter,
    FileWriteFailed,
    CountOverflow
};

// Every outcome but Completed says on page 3 how the run ended.
enum class TransferOutcome {
    NotRun,
    Completed,
    CancelledWhileSending,   // "File Transfer aborted by user."; bAbortTransfer cleared
    CancelledWhileReceiving, // the same status; bAbortTransfer stays set
    TimedOut,                // "Timeout on Coms. No data to recieve"
    Failed,                  // "File Transfer stopped.", after the fault's message
};

// The message shown when a run stops on a fault (critical icon).
QString transferFaultMessage(TransferFault fault);

// count of size in whole percent, exact halves to the even neighbour.
qint16 transferPercent(qint32 count, qint32 size);

// Waits seconds while handling window events.
void pause(TransferClock &clock, qint16 seconds);

// One transfer run, from page 3's running state to its end state. The port
// and the file are open when it starts and closed when it returns. A cancel
// is state.bAbortTransfer, set (with port and file closed) by a handler that
// runs inside one of the loop's event pumps.
class TransferLoop
{
public:
    TransferLoop(TransferState &state, LinePort &port, TransferFile &file, TransferView &view,
                 TransferClock &clock);

    void run();

    TransferOutcome outcome() const { return m_outcome; }
    TransferFault fault() const { return m_fault; }

private:
    enum class Wait { Ready, Cancelled, Failed };

    void startRun();
    void sendLoop();
    bool readNextChar(char &c);
    bool sendChar(char c);
    bool drainQueue();
    Wait waitForQueueBelow(qint64 limit);
    Wait waitForDrain();
    void receiveLoop();
    bool emptyRead();
    bool receivedBlock(const QByteArray &received);
    // Writes what arrived and is not in the file yet, of which uncounted
    // characters are not in lByteCount yet; false once the run failed.
    bool storeReceived(qsizetype uncounted = 0);
    void displayUpdate(qint16 percent);
    void showCount(qint16 percent);
    void uncountDiscarded();
    void setStatus(const QString &text);
    void endRun();
    void cancelSending();
    void failRun(TransferFault fault);
    void showEndButtons();

    TransferState &m_state;
    LinePort &m_port;
    TransferFile &m_file;
    TransferView &m_view;
    TransferClock &m_clock;

    bool m_done = false;
    qint32 m_shownCount = 0;
    qint16 m_percentShown = 0;
    QString m_percentText;
    qint16 m_emptyReads = 0;
    QByteArray m_unstored;
    double m_nextStore = 0;
    bool m_timedOut = false;
    TransferOutcome m_outcome = TransferOutcome::NotRun;
    TransferFault m_fault = TransferFault::None;
};

// A run with the program's own clock and event pump.
TransferOutcome runTransfer(TransferState &state, LinePort &port, TransferFile &file,
                            TransferView &view);
