#include "ui/reportprinter.h"

#include "settings/lineends.h"
#include "ui/fonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextLayout>

namespace ReportPrinter {

namespace {

const QString kPrinterFont = QStringLiteral("Courier");
const QString kDocumentName = QStringLiteral("File Transfer Report");
constexpr int kTabColumns = 8;

struct Document
{
    std::unique_ptr<QPrinter> printer;
    QPainter painter;
    qreal y = 0; // top of the next line on the current page
};

PrinterFactory &factory()
{
    static PrinterFactory f;
    return f;
}

std::unique_ptr<QPrinter> defaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    printer->setDocName(kDocumentName);
    return printer;
}

// The printer keeps its size and style; only the face changes.
void setCourier(QPainter &painter)
{
    const QFont current = painter.font();
    QFont courier = Fonts::named(kPrinterFont, current.pointSizeF(), current.bold());
    courier.setItalic(current.italic());
    painter.setFont(courier);
}

bool printLine(Document &doc, const QString &line)
{
    const QFontMetricsF metrics(doc.painter.font(), doc.printer.get());
    const qreal pageWidth = doc.painter.viewport().width();
    const qreal pageHeight = doc.painter.viewport().height();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(kTabColumns * metrics.horizontalAdvance(QLatin1Char(' ')));
    QTextLayout layout(line, doc.painter.font(), doc.printer.get());
    layout.setTextOption(option);
    layout.beginLayout();
    // An empty line still takes its height on the page.
    for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine())
        piece.setLineWidth(pageWidth);
    layout.endLayout();
    const int pieces = std::max(layout.lineCount(), 1);
    for (int i = 0; i < pieces; ++i) {
        if (doc.y > 0 && doc.y + metrics.lineSpacing() > pageHeight) {
            if (!doc.printer->newPage())
                return false;
            doc.y = 0;
        }
        if (i < layout.lineCount()) {
            const QTextLine piece = layout.lineAt(i);
            piece.draw(&doc.painter, QPointF(0, doc.y - piece.y()));
        }
        doc.y += metrics.lineSpacing();
    }
    return true;
}

} // namespace

Result print(const QString &text)
{
    Document doc;
    doc.printer = factory() ? factory()() : defaultPrinter();
    if (!doc.printer)
        return Result::NoPrinter;
    if (!doc.painter.begin(doc.printer.get()))
        return Result::Failed;
    setCourier(doc.painter);
    bool printed = true;
    for (const LineEnds::Line &line : LineEnds::split(text)) {
        if (!(printed = printLine(doc, line.text)))
            break;
    }
    // Ending the painter ends the job: the printer gets it now, or never
    // when a page could not be added.
    if (!printed) {
        doc.printer->abort();
        doc.painter.end();
        return Result::Failed;
    }
    return doc.painter.end() ? Result::Printed : Result::Failed;
}

void setPrinterFactory(PrinterFactory f)
{
    factory() = std::move(f);
}

} // namespace ReportPrinter
