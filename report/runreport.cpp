#include "report/runreport.h"

#include "report/reportfile.h"
#include "report/reporttext.h"
#include "transfer/transfersession.h"

namespace RunReport {

Composed compose(const TransferChoices &shown, const TransferResults &results, const QDateTime &now)
{
    const QDateTime at = results.started.isValid() ? results.started : now;
    // A file that is gone or holds nothing has nothing to report.
    const ReportFile::ReadResult read = ReportFile::readWhole(shown.fileName);
    if (read.status != ReportFile::ReadStatus::Ok)
        return {QString(), ReportFile::readFailureText(shown.fileName, read)};
    return {ReportText::compose(ReportText::inputsFor(shown, results, at, read.bytes)), QString()};
}

} // namespace RunReport
