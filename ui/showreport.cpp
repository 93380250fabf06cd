#include "ui/showreport.h"

#include "report/runreport.h"
#include "transfer/transfersession.h"
#include "ui/forms.h"
#include "ui/frmreport.h"
#include "ui/msgbox.h"
#include "ui/reportbox.h"

void ShowReport(const TransferChoices &shown)
{
    ShowReportAt(shown, QDateTime::currentDateTime());
}

void ShowReportAt(const TransferChoices &shown, const QDateTime &now)
{
    // The report names the file that page 1 names now, and so does the state from here on.
    TransferSession &session = transferSession();
    session.nameFile(shown.fileName);

    // A file that is gone or holds nothing leaves the report window as it was.
    const RunReport::Composed report = RunReport::compose(shown, session.results(), now);
    if (!report.failure.isEmpty()) {
        MsgBox::show(report.failure);
        return;
    }
    FrmReport &window = frmReport();
    window.txtReport()->setReportText(report.text);
    window.showReport();
}
