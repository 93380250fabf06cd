#include "ui/transfersteps.h"

#include "transfer/hexcheck.h"
#include "transfer/seriallink.h"
#include "transfer/systemclock.h"
#include "transfer/transfersession.h"
#include "ui/exitapplication.h"
#include "ui/forms.h"
#include "ui/frmmain3.h"
#include "ui/msgbox.h"

namespace {

bool answeredYes(const QString &question)
{
    return MsgBox::show(question, MsgBox::Icon::Warning, MsgBox::Buttons::YesNo,
                        /*defaultIsNo*/ true) == MsgBox::Result::Yes;
}

} // namespace

bool OpenCommPort(const TransferChoices &choices)
{
    if (transferSession().openPort(choices))
        return true;
    MsgBox::show(serialLinkErrorMessage());
    return false;
}

void CloseCommPort()
{
    transferSession().closePort();
}

bool OpenTransferFile()
{
    TransferSession &session = transferSession();
    const bool sending = TransferType::isSend(session.state().iTransferType);
    // Receiving empties the file at once: one that holds something, such as an
    // earlier backup of the drive, is only given up when the user says so.
    if (!sending && session.receiveWouldReplaceData() &&
        !answeredYes(MsgBox::replaceQuestion(session.state().sFileName)))
        return false;
    const FileOpening opening = session.openFile();
    if (opening.result != OpenFileResult::Ok) {
        MsgBox::show(openFileMessage(opening.result));
        return false;
    }
    // A damaged parameter set sent to a running machine is worse than none:
    // the question comes before any character reaches the drive.
    if (!sending || opening.records.isClean() ||
        answeredYes(HexCheck::sendQuestion(opening.records)))
        return true;
    CloseTransferFile();
    return false;
}

void CloseTransferFile()
{
    transferSession().closeFile();
}

void RunTransfer()
{
    SystemTransferClock clock;
    TransferSession &session = transferSession();
    session.run(frmMain3(), clock);
    // The file stays as it arrived; only a message says what is wrong with it.
    if (const std::optional<HexCheck::Result> check = session.receivedCheck()) {
        const QString warning = HexCheck::receivedWarning(*check);
        if (!warning.isEmpty())
            MsgBox::show(warning);
    }
    ExitIfAskedDuringTransfer();
}
