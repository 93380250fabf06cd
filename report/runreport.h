#pragma once

#include <QString>

class QDateTime;
struct TransferChoices;
struct TransferResults;

// The report of a run as View Report shows it and quillet-cli's --report saves it.
namespace RunReport {

struct Composed
{
    QString text;    // the report, when the transfer file could be read
    QString failure; // otherwise what the user is told, two lines joined by CR
};

// The run's results, the port, the rate and the file as shown with the
// choices, and the transfer file as it is now. The report is a record of the
// run: it is dated when that started, however much later it is composed, and
// now only when there has been no run.
Composed compose(const TransferChoices &shown, const TransferResults &results,
                 const QDateTime &now);

} // namespace RunReport
