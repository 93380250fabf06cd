#pragma once

#include <QString>

#include <functional>
#include <memory>

class QPrinter;

// Printing a report on the default printer. Each report printed is a job of
// its own, complete and handed to the printer before print() returns, so the
// page comes out while the engineer is still at the printer, and nothing is
// left waiting for the program's end.
namespace ReportPrinter {

enum class Result { Printed, NoPrinter, Failed };

// Prints the text in Courier, its own line ends breaking the lines, followed
// by a line end, onto as many pages as it needs. Lines wider than the page
// continue on the next line rather than being cut off at the margin.
Result print(const QString &text);

// Tests choose where each job goes; nullptr stands for "no printer".
// Without a factory a job goes to the system's default printer.
using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;
void setPrinterFactory(PrinterFactory factory);

} // namespace ReportPrinter
