#include "report/reportprinter.h"

#include "report/lineends.h"
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

std::unique_ptr<Document> &document()
{
    static std::unique_ptr<Document> doc;
    return doc;
}

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

Result open()
{
    std::unique_ptr<QPrinter> printer = factory() ? factory()() : defaultPrinter();
    if (!printer)
        return Result::NoPrinter;
    auto doc = std::make_unique<Document>();
    doc->printer = std::move(printer);
    if (!doc->painter.begin(doc->printer.get()))
        return Result::Failed;
    document() = std::move(doc);
    return Result::Printed;
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
    if (!document()) {
        if (const Result opened = open(); opened != Result::Printed)
            return opened;
    }
    Document &doc = *document();
    setCourier(doc.painter);
    for (const LineEnds::Line &line : LineEnds::split(text)) {
        if (!printLine(doc, line.text))
            return Result::Failed;
    }
    return Result::Printed;
}

bool isDocumentOpen()
{
    return document() != nullptr;
}

bool endDocument()
{
    std::unique_ptr<Document> doc = std::move(document());
    if (!doc)
        return true;
    return doc->painter.end();
}

void setPrinterFactory(PrinterFactory f)
{
    factory() = std::move(f);
}

} // namespace ReportPrinter
