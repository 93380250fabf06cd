#pragma once

#include <QDateTime>

struct TransferChoices;

// View Report: composes the report of the last run into the report window,
// naming the port, the rate and the file as shown (page 1's choices), dated
// when the run started.
void ShowReport(const TransferChoices &shown);

// The same, taking now as the time when there has been no run.
void ShowReportAt(const TransferChoices &shown, const QDateTime &now);
