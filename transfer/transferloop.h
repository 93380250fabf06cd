#pragma once

#include "transfer/transferview.h"

#include <QString>
#include <QtGlobal>

#include <functional>

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

// Every outcome but Completed says on page 3 how the run ended. After the
// run bAbortTransfer is set for every outcome but Completed and
// CancelledWhileSending, as the windows have always found it.
enum class TransferOutcome {
    NotRun,
    Completed,
    CancelledWhileSending,   // "File Transfer aborted by user."
    CancelledWhileReceiving, // the same status
    TimedOut,                // "Timeout on Coms. No data to recieve"
    Failed,                  // "File Transfer stopped.", after the fault's message
};

// What happened in a run, as it returns it.
struct RunResult
{
    TransferOutcome outcome = TransferOutcome::NotRun;
    TransferFault fault = TransferFault::None;
    // Characters the line damaged during a receive, as the port counts them.
    qint64 lineErrors = 0;
};

// The message shown when a run stops on a fault (critical icon).
QString transferFaultMessage(TransferFault fault);

// The note that follows a receive whose characters the line damaged; empty
// when it damaged none. The file keeps what arrived all the same.
QString lineErrorNote(qint64 lineErrors);

// count of size in whole percent, exact halves to the even neighbour.
qint16 transferPercent(qint32 count, qint32 size);

// How often a wait that may last long (the drain, room under XOFF, the
// pause) looks at the device for its loss, which nothing else tells while no
// character moves: a lost port is said within a second, and a send's path
// for each character makes no system call for it.
inline constexpr int kLossLookMsecs = 250;

// Waits seconds while handling window events, or until stop() holds; stop()
// is asked after every event and at least every kLossLookMsecs.
void pause(TransferClock &clock, qint16 seconds, const std::function<bool()> &stop);

// One transfer run, from page 3's running state to its end state. The port
// and the file are open when it starts and closed when it returns. A cancel
// is state.bAbortTransfer, set (with port and file closed) by the session's
// cancel, which runs inside one of the loop's event pumps; nothing else sets
// it while the loop runs.
class TransferLoop
{
public:
    TransferLoop(TransferState &state, LinePort &port, TransferFile &file, TransferView &view,
                 TransferClock &clock);

    RunResult run();

    // The longest one wait for room in the transmit queue lasts: the device
    // sends at line speed without telling, so the queue is looked at again
    // after this long even when no event came.
    static constexpr int kRoomWaitMsecs = 25;

    TransferOutcome outcome() const { return m_result.outcome; }
    TransferFault fault() const { return m_result.fault; }

private:
    enum class Wait { Ready, Cancelled, Failed };

    bool cancelAsked() const;
    // Looks at the device at most every kLossLookMsecs; in between, what the
    // port knows already.
    bool lostMeanwhile();

    void startRun();
    void sendLoop();
    bool readNextChar(char &c);
    bool sendChar(char c);
    bool drainQueue();
    Wait waitForQueueBelow(qint64 limit);
    Wait waitForDrain();
    // Until look() has an answer, a Cancel comes or the port is lost, in the
    // event loop, woken also by the device taking output.
    template<typename Look>
    Wait waitOnOutput(int msecs, Look look);
    void receiveLoop();
    void endCancelledReceive();
    // False once the run has ended.
    bool emptyRead();
    bool timeOut();
    void retry();
    // Seconds the line has been silent since the last counted block, the
    // pause apart.
    double silence();
    void waitForInput(double silent);
    bool receivedBlock(const QByteArray &received);
    void gatherInput();
    bool storeHeld();
    void displayUpdate(qint16 percent);
    void showCount(qint16 percent);
    void uncountDiscarded();
    void setStatus(const QString &text);
    void endRun(TransferOutcome outcome);
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
    double m_lastBlock = 0;   // when the last counted block came, or the run started
    double m_pausedFor = 0;   // seconds of this silence spent in the pause
    bool m_retrying = false;  // "Nothing to recieve... Retrying" shown for this silence
    qint64 m_heldCounted = 0; // characters held for the file and already counted
    double m_nextStore = 0;
    double m_nextLossLook = 0;
    RunResult m_result;
};

// A run with the program's own clock and event pump.
TransferOutcome runTransfer(TransferState &state, LinePort &port, TransferFile &file,
                            TransferView &view);
