#include "ui/transfersteps.h"

#include "transfer/hexchecktext.h"
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
    MsgBox::show(transferSession().portFailureMessage());
    return false;
}

void CloseCommPort()
{
    transferSession().closePort();
}

bool OpenTransferFile()
{
    const FileOpening opening = transferSession().openFile(
        {[](const QString &fileName) { return answeredYes(MsgBox::replaceQuestion(fileName)); },
         [](const HexCheck::Result &records) {
             return answeredYes(HexCheck::sendQuestion(records));
         }});
    if (opening.result != OpenFileResult::Ok)
        MsgBox::show(openFileMessage(opening.result));
    return opening.opened();
}

void CloseTransferFile()
{
    transferSession().closeFile();
}

void RunTransfer()
{
    SystemTransferClock clock;
    TransferSession &session = transferSession();
    const RunResult run = session.run(frmMain3(), clock);
    // The file stays as it arrived; only a message says what is wrong with it.
    if (const QString note = lineErrorNote(run.lineErrors); !note.isEmpty())
        MsgBox::show(note, MsgBox::Icon::Warning);
    if (const QString warning = session.receivedWarning(); !warning.isEmpty())
        MsgBox::show(warning);
    ExitIfAskedDuringTransfer();
}
