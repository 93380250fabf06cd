#include "ui/showreport.h"

#include "report/reportfile.h"
#include "report/reporttext.h"
#include "transfer/transfersession.h"
#include "ui/forms.h"
#include "ui/frmreport.h"
#include "ui/msgbox.h"
#include "ui/reportbox.h"

void ShowReport(const TransferChoices &shown)
{
    // The report is a record of the run: it says when that started, however
    // much later it is viewed.
    const QDateTime started = transferSession().results().started;
    ShowReportAt(shown, started.isValid() ? started : QDateTime::currentDateTime());
}

void ShowReportAt(const TransferChoices &shown, const QDateTime &now)
{
    // The report names the file that page 1 names now, and so does the state from here on.
    TransferSession &session = transferSession();
    session.state().sFileName = shown.fileName;

    // A file that is gone or holds nothing leaves the report window as it was.
    const ReportFile::ReadResult read = ReportFile::readWhole(shown.fileName);
    if (read.status != ReportFile::ReadStatus::Ok) {
        MsgBox::show(ReportFile::readFailureText(shown.fileName, read));
        return;
    }
    FrmReport &window = frmReport();
    window.txtReport()->setReportText(
        ReportText::compose(ReportText::inputsFor(shown, session.results(), now, read.bytes)));
    window.showReport();
}
