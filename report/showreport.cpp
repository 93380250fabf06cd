#include "report/showreport.h"

#include "app/modmain.h"
#include "app/transferstate.h"
#include "report/frmreport.h"
#include "report/reportbox.h"
#include "report/reportfile.h"
#include "report/reporttext.h"
#include "ui/forms.h"
#include "ui/frmmain1.h"
#include "ui/msgbox.h"

#include <QComboBox>
#include <QLineEdit>

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

void ShowReport()
{
    // The report is a record of the run: it says when that started, however
    // much later it is viewed.
    const QDateTime started = transferState().dtTransferStarted;
    ShowReportAt(started.isValid() ? started : QDateTime::currentDateTime());
}

void ShowReportAt(const QDateTime &now)
{
    const FrmMain1 &page1 = frmMain1();
    TransferState &state = transferState();
    state.sFileName = page1.txtFile()->text();

    // A file that is gone or holds nothing leaves the report window as it was.
    const ReportFile::ReadResult read = ReportFile::readWhole(state.sFileName);
    if (read.status != ReportFile::ReadStatus::Ok) {
        MsgBox::show(unreadableText(state.sFileName, read));
        return;
    }
    ReportText::Inputs inputs;
    inputs.date = ReportText::dateText(now.date());
    inputs.time = ReportText::timeText(now.time());
    inputs.iTransferType = state.iTransferType;
    inputs.baudText = page1.cboBaudRate()->currentText();
    inputs.portText = page1.cboPort()->currentText();
    inputs.fileName = state.sFileName;
    inputs.fileBytes = read.bytes;
    inputs.lByteCount = state.lByteCount;

    FrmReport &window = frmReport();
    window.txtReport()->setReportText(ReportText::compose(inputs));
    window.showReport();
}
