#pragma once

#include <QDateTime>

// View Report with the given time of the transfer; ShowReport() (app/modmain.h)
// is this at the time the last run started.
void ShowReportAt(const QDateTime &now);
