// Printing from the report window: one document for the whole run, read
// back from the PDF it becomes.
#include "common/uitest.h"
#include "report/frmreport.h"
#include "report/reportbox.h"
#include "report/reportprinter.h"

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString kReport = QStringLiteral("Transfer initiated on 7 Dec 2026 at 13:02:03\r\n"
                                       "Data recieved at 19200 baud on COM3\r\n"
                                       "Filename: unit7.mmi\r\n"
                                       "--------------------------------------------------\r\n"
                                       "P1 = 0050\r\n"
                                       "--------------------------------------------------\r\n");

// The text of a PDF as poppler reads it; empty when it cannot.
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const bool read = p.waitForFinished(30000) && p.exitCode() == 0;
    return read ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

bool haveTool(const char *name)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// Where cups-pdf puts the PDFs of this user's jobs.
QString cupsPdfFolder()
{
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (!conf.open(QIODevice::ReadOnly))
        return {};
    QString out = QStringLiteral("${HOME}/PDF"); // cups-pdf's own default
    for (const QByteArray &line : conf.readAll().split('\n')) {
        if (line.startsWith("Out "))
            out = QString::fromLocal8Bit(line.mid(4).trimmed());
    }
    const passwd *user = getpwuid(geteuid());
    return out.replace(QStringLiteral("${HOME}"), QString::fromLocal8Bit(user ? user->pw_dir : ""));
}

} // namespace

class TestReportPrint : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::optional<MessageRecorder> m_messages;
    int m_printersMade = 0;

    void showReport(const QString &text)
    {
        frmReport().txtReport()->setReportText(text);
        frmReport().showReport();
    }
    void clickPrint() { frmReport().findChild<QPushButton *>(QStringLiteral("cbPrint"))->click(); }
    void printToPdf(const QString &pdf)
    {
        ReportPrinter::setPrinterFactory([this, pdf] {
            ++m_printersMade;
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer;
        });
    }

private Q_SLOTS:
    void init()
    {
        m_messages.emplace();
        m_printersMade = 0;
    }
    void cleanup()
    {
        m_messages.reset();
        ReportPrinter::endDocument();
        ReportPrinter::setPrinterFactory({});
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    void printTwiceIntoOneDocument()
    {
        if (!haveTool("pdftotext"))
            QSKIP("pdftotext (poppler-utils) is needed to read the printed PDF");
        const QString pdf = m_dir.filePath(QStringLiteral("twice.pdf"));
        printToPdf(pdf);
        showReport(kReport);
        clickPrint();
        // What is printed is the box as it stands, the user's edits included.
        QTextCursor end = frmReport().txtReport()->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("SIGNED OFF"));
        clickPrint();
        QVERIFY(m_messages->shown.isEmpty());

        // The document outlives the window and goes out only when ended.
        frmReport().cbClose_Click();
        QVERIFY(ReportPrinter::isDocumentOpen());
        QCOMPARE(m_printersMade, 1);
        QVERIFY(ReportPrinter::endDocument());
        QVERIFY(!ReportPrinter::isDocumentOpen());

        const QString text = pdfText(pdf);
        QCOMPARE(text.count(QStringLiteral("Transfer initiated on 7 Dec 2026 at 13:02:03")), 2);
        QCOMPARE(text.count(QStringLiteral("P1 = 0050")), 2);
        QCOMPARE(text.count(QStringLiteral("SIGNED OFF")), 1);
        QVERIFY(text.indexOf(QStringLiteral("SIGNED OFF")) >
                text.lastIndexOf(QStringLiteral("P1 = 0050")));
    }

    void longReportFlowsOn()
    {
        if (!haveTool("pdftotext"))
            QSKIP("pdftotext (poppler-utils) is needed to read the printed PDF");
        const QString pdf = m_dir.filePath(QStringLiteral("long.pdf"));
        printToPdf(pdf);
        QString text;
        for (int i = 1; i <= 150; ++i)
            text += QStringLiteral("LINE %1\r\n").arg(i);
        const QString wide = QString(300, QLatin1Char('W')) + QStringLiteral("TAIL");
        showReport(text + wide);
        clickPrint();
        QVERIFY(ReportPrinter::endDocument());

        const QString printed = pdfText(pdf);
        QVERIFY(printed.contains(QLatin1Char('\f'))); // more than one page
        QVERIFY(printed.contains(QStringLiteral("LINE 150")));
        QString joined = printed;
        joined.remove(QRegularExpression(QStringLiteral("\\s")));
        QVERIFY(joined.contains(wide)); // wrapped onto further lines, not cut off
    }

    void noDefaultPrinter()
    {
        ReportPrinter::setPrinterFactory([] { return std::unique_ptr<QPrinter>(); });
        showReport(kReport);
        clickPrint();
        QCOMPARE(m_messages->texts(),
                 QStringList{QStringLiteral("No default printer is set up.\r"
                                            "The report has not been printed.")});
        QVERIFY(!ReportPrinter::isDocumentOpen());
        QVERIFY(frmReport().isVisible());
    }

    void throughTheSystemDefaultPrinter()
    {
        if (QPrinterInfo::defaultPrinter().isNull())
            QSKIP("no default printer: CUPS with the cups-pdf queue is not set up "
                  "(tests/setup-printer.sh does that)");
        const QString folder = cupsPdfFolder();
        if (folder.isEmpty() || !haveTool("pdftotext") || !haveTool("pdffonts"))
            QSKIP("cups-pdf's configuration, pdftotext or pdffonts is missing");
        const QStringList filter{QStringLiteral("*.pdf")};
        const QStringList before = QDir(folder).entryList(filter, QDir::Files);
        showReport(kReport + QStringLiteral("THROUGH CUPS 4711"));
        clickPrint();
        QVERIFY(m_messages->shown.isEmpty());
        QVERIFY(ReportPrinter::endDocument());

        QStringList added;
        QTRY_VERIFY_WITH_TIMEOUT(
            (added = QDir(folder).entryList(filter, QDir::Files), added.size() > before.size()),
            60000);
        for (const QString &name : before)
            added.removeAll(name);
        QVERIFY(!added.isEmpty());
        const QString pdf = QDir(folder).filePath(added.constFirst());
        // cups-pdf may still be writing the file when it appears.
        QTRY_VERIFY_WITH_TIMEOUT(pdfText(pdf).contains(QStringLiteral("THROUGH CUPS 4711")), 30000);
        QVERIFY(pdfText(pdf).contains(QStringLiteral("Data recieved at 19200 baud on COM3")));
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(fonts.waitForFinished(30000));
        const QString faces = QString::fromLatin1(fonts.readAllStandardOutput());
        QVERIFY(QFile::remove(pdf));
        QVERIFY2(faces.contains(QRegularExpression(QStringLiteral("Mono|Courier"))),
                 "the report is not printed in a monospace face");
    }
};

QTEST_MAIN(TestReportPrint)
#include "tst_reportprint.moc"
