#pragma once

#include <QDateTime>

// View Report at a given moment; ShowReport() (app/modmain.h) is this at the
// current date and time.
void ShowReportAt(const QDateTime &now);

// Ends the print document once the program has finished, so that it goes to
// the printer; says so when that fails.
void FinishPrinting();
