#pragma once

#include "transfer/hexcheck.h"
#include "transfer/transferchoices.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"
#include "transfer/transferstate.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CommPort;
class TransferClock;
class TransferView;

// What the report of the last run says about it.
struct TransferResults
{
    qint16 transferType = 0;
    qint32 byteCount = 0; // for a send, the characters that left the PC
    QDateTime started;    // invalid before the first run
    QString fileName;
    qint64 lineErrors = 0; // characters the line damaged during a receive
};

// What the user (page 1) or the command's options (--force) say to the two
// questions the file may raise before anything reaches the drive. Each answers
// true to go on; one left empty answers No.
struct FileQuestions
{
    // Receiving would empty this file, which holds something (an earlier backup).
    std::function<bool(const QString &fileName)> replaceData;
    // The file to send has damaged records, or none to end it.
    std::function<bool(const HexCheck::Result &records)> sendDamaged;
    // Asked between the pieces of the reading of a file to send (a file of
    // gigabytes takes a while): true ends it at once, with result Stopped.
    std::function<bool()> stopped = {};
};

struct FileOpening
{
    OpenFileResult result = OpenFileResult::Ok;
    // For a file to send, the check of the records that will be sent.
    HexCheck::Result records;
    // A question was answered No: the file is closed, and untouched.
    bool declined = false;

    bool opened() const { return result == OpenFileResult::Ok && !declined; }
};

// What a look for the drive's first characters found.
enum class DriveLook { Waiting, Started, PortLost };

// One transfer after another over the program's one serial port: the port,
// the file on the PC's side and the state that the windows show. Every result
// comes back as a value and nothing here shows a window, so the same
// transfers run with windows, from a command or from a test. The windows and
// the command read the state; only the session and its runs write it (tests
// set it up directly).
class TransferSession
{
public:
    // How often page 2 and the command look for the drive.
    static constexpr int kDriveLookMsecs = 100;

    TransferSession();
    ~TransferSession();
    TransferSession(const TransferSession &) = delete;
    TransferSession &operator=(const TransferSession &) = delete;

    TransferState &state() { return m_state; }
    const TransferState &state() const { return m_state; }
    bool running() const { return m_state.bTransferActive; }

    // Takes the choices into the state (kind, port, rate, file), then opens
    // the port they name with the program's line settings. False leaves the
    // port closed.
    bool openPort(const TransferChoices &choices);
    // What the user is told when openPort failed, with why, as far as the
    // system says.
    QString portFailureMessage() const;
    // Never fails; may be repeated.
    void closePort();
    bool portOpen() const;
    // Characters from the drive waiting to be read; 0 while the port is closed.
    qint64 inputWaiting();
    // Whether the drive has started to send, or the port has been lost
    // meanwhile (unplugged, hung up): the one look that page 2's timer and the
    // command take while they wait. Waiting while the port is closed.
    DriveLook lookForDrive();
    // Page 1's Open: the kind of transfer and the file chosen for it.
    void chooseFile(qint16 transferType, const QString &fileName);
    // The file page 1 names now, which the report of the last run names.
    void nameFile(const QString &fileName);

    // Opens the state's file for the state's kind of transfer (see openTransferFile),
    // asking first before a receive empties a file that holds something, and then
    // before a damaged parameter file is sent.
    FileOpening openFile(const FileQuestions &questions = {});
    // Never fails; may be repeated.
    void closeFile();
    bool fileOpen() const { return m_file.isOpen(); }

    // Runs the transfer on the open port and file and returns when it has
    // ended, with both closed. The clock's event pump is where a cancel comes in.
    RunResult run(TransferView &view, TransferClock &clock);
    // A stop asked for while a run is going on (page 3's Cancel): the run ends
    // at its next look, and the file and the port are closed at once.
    void cancel();
    // The check of a parameter file received by the last run, kept as it
    // arrived; nothing when the last run received no parameter file.
    std::optional<HexCheck::Result> receivedCheck() const;
    // What the user is told about that file when it is damaged or incomplete;
    // empty otherwise.
    QString receivedWarning() const;

    TransferResults results() const;

private:
    TransferState m_state;
    std::unique_ptr<CommPort> m_port;
    TransferFile m_file;
    RunResult m_lastRun;
};

// The program's one transfer session.
TransferSession &transferSession();

// True while a transfer loop runs. The windows' handlers can run nested
// inside its event pump; those that would disturb the run do nothing then.
inline bool transferRunning()
{
    return transferSession().running();
}
