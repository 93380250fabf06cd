// The serial link, the transfer file and the transfer loop as the windows use
// them: the engine reports failures as values, and this is where they become
// the program's messages and page 1's abort flag.
#include "app/modmain.h"

#include "app/transferstate.h"
#include "transfer/hexcheck.h"
#include "transfer/seriallink.h"
#include "transfer/systemclock.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/frmmain3.h"
#include "ui/msgbox.h"

void OpenCommPort()
{
    const TransferState &state = transferState();
    if (openCommPort(frmMain3().SComms(), state.iPortNumber, state.lBaudRate))
        return;
    MsgBox::show(serialLinkErrorMessage());
    frmMain1().abort = true;
}

void CloseCommPort()
{
    // The port lives on page 3; before page 3 exists there is nothing to close.
    if (Forms::isLoaded(Form::Main3))
        closeCommPort(frmMain3().SComms());
}

namespace {

// Receiving empties the file at once: one that holds something, such as an
// earlier backup of the drive, is only given up when the user says so.
bool mayReceiveInto(const QString &fileName)
{
    return !receiveWouldReplaceData(fileName) ||
           MsgBox::show(MsgBox::replaceQuestion(fileName), MsgBox::Icon::Warning,
                        MsgBox::Buttons::YesNo, /*defaultIsNo*/ true) == MsgBox::Result::Yes;
}

} // namespace

void OpenTransferFile()
{
    if (!TransferType::isSend(transferState().iTransferType) &&
        !mayReceiveInto(transferState().sFileName)) {
        frmMain1().abort = true;
        return;
    }
    HexCheck::Result records;
    const OpenFileResult result = openTransferFile(transferState(), transferFile(), &records);
    if (result != OpenFileResult::Ok) {
        MsgBox::show(openFileMessage(result));
        frmMain1().abort = true;
        return;
    }
    if (!TransferType::isSend(transferState().iTransferType))
        return;
    // A damaged parameter set sent to a running machine is worse than none:
    // the question comes before any character reaches the drive.
    if (records.isClean())
        return;
    if (MsgBox::show(HexCheck::sendQuestion(records), MsgBox::Icon::Warning, MsgBox::Buttons::YesNo,
                     /*defaultIsNo*/ true) == MsgBox::Result::Yes)
        return;
    CloseTransferFile();
    frmMain1().abort = true;
}

void CloseTransferFile()
{
    closeTransferFile(transferFile());
}

void RunTransfer()
{
    SystemTransferClock clock;
    FrmMain3 &page3 = frmMain3();
    TransferLoop loop(transferState(), page3.SComms(), transferFile(), page3, clock);
    loop.run();
    // The file stays as it arrived; only a message says what is wrong with it.
    // A time-out leaves what arrived, which may be a part of a parameter file.
    const TransferOutcome outcome = loop.outcome();
    if ((outcome == TransferOutcome::Completed || outcome == TransferOutcome::TimedOut) &&
        transferState().iTransferType == TransferType::kJxfFromDrive) {
        const QString warning =
            HexCheck::receivedWarning(HexCheck::checkFile(transferState().sFileName));
        if (!warning.isEmpty())
            MsgBox::show(warning);
    }
    ExitIfAskedDuringTransfer();
}
