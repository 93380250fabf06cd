#pragma once

#include <QString>

#include <functional>
#include <memory>

class QPrinter;

// The program's one print document on the default printer. The first report
// printed opens it; every further one is added below the last, onto new
// pages as needed; it goes to the printer only when it is ended, once, as
// the program ends. It belongs to no window, so it outlives the report window.
namespace ReportPrinter {

enum class Result { Printed, NoPrinter, Failed };

// Prints the text in Courier, its own line ends breaking the lines, followed
// by a line end. Lines wider than the page continue on the next line rather
// than being cut off at the margin.
Result print(const QString &text);

bool isDocumentOpen();

// Completes the document and hands it to the printer. Returns false when
// that failed; true also when nothing was printed.
bool endDocument();

// Tests choose where a new document goes; nullptr stands for "no printer".
// Without a factory the document goes to the system's default printer.
using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;
void setPrinterFactory(PrinterFactory factory);

} // namespace ReportPrinter
