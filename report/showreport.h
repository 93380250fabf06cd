#pragma once

#include <QDateTime>

// View Report at a given moment; ShowReport() (app/modmain.h) is this at the
// current date and time.
void ShowReportAt(const QDateTime &now);
