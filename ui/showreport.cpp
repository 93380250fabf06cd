#include "ui/showreport.h"

#include "report/reportfile.h"
#include "report/reporttext.h"
#include "transfer/transfersession.h"
#include "ui/forms.h"
#include "ui/frmreport.h"
#include "ui/msgbox.h"
#include "ui/reportbox.h"

namespace {

QString unreadableText(const QString &fileName, const ReportFile::ReadResult &read)
{
    if (read.status == ReportFile::ReadStatus::Empty)
        return MsgBox::twoLines(QStringLiteral("The file ") + fileName +
                                    QStringLiteral(" is empty."),
                                QStringLiteral("There is no data to report."));
    return MsgBox::twoLines(
        QStringLiteral("Unable to read the file ") + fileName + QLatin1Char('.'), read.reason);
}

} // namespace

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
        MsgBox::show(unreadableText(shown.fileName, read));
        return;
    }
    FrmReport &window = frmReport();
    window.txtReport()->setReportText(
        ReportText::compose(ReportText::inputsFor(shown, session.results(), now, read.bytes)));
    window.showReport();
}
