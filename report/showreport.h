#pragma once

#include <QDateTime>

// View Report with the given time of the transfer; ShowReport() (app/modmain.h)
// is this at the time the last run started.
void ShowReportAt(const QDateTime &now);

// Ends the print document once the program has finished, so that it goes to
// the printer; says so when that fails.
void FinishPrinting();
