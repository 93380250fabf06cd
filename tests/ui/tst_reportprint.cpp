// Printing from the report window: each click one complete job, read back
// from the PDF it becomes.
#include "common/uitest.h"
#include "ui/frmreport.h"
#include "ui/reportbox.h"
#include "ui/reportprinter.h"

#include <QDir>
#include <QFile>
#include <QMap>
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

// The new PDFs in folder that hold one report ending in one of the tokens,
// by token.
QMap<QString, QString> finishedJobs(const QString &folder, const QStringList &before,
                                    const QStringList &tokens)
{
    QMap<QString, QString> jobOf;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files)) {
        if (before.contains(name))
            continue;
        const QString pdf = QDir(folder).filePath(name);
        const QString text = pdfText(pdf);
        for (const QString &token : tokens) {
            if (text.contains(token) && text.count(QStringLiteral("P1 = 0050")) == 1)
                jobOf.insert(token, pdf);
        }
    }
    return jobOf;
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
    // Job n (from 1) goes to the PDF named by pattern with %1 replaced by n.
    void printToPdf(const QString &pattern)
    {
        ReportPrinter::setPrinterFactory([this, pattern] {
            ++m_printersMade;
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pattern.arg(m_printersMade));
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
        ReportPrinter::setPrinterFactory({});
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    void eachPrintIsOneCompleteDocument()
    {
        if (!haveTool("pdftotext"))
            QSKIP("pdftotext (poppler-utils) is needed to read the printed PDF");
        printToPdf(m_dir.filePath(QStringLiteral("job%1.pdf")));
        showReport(kReport);
        clickPrint();
        // Complete at once: nothing else is done before it is read back.
        const QString first = pdfText(m_dir.filePath(QStringLiteral("job1.pdf")));
        QCOMPARE(first.count(QStringLiteral("Transfer initiated on 7 Dec 2026 at 13:02:03")), 1);
        QCOMPARE(first.count(QStringLiteral("P1 = 0050")), 1);

        // What is printed is the box as it stands, the user's edits included.
        QTextCursor end = frmReport().txtReport()->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(QStringLiteral("SIGNED OFF"));
        clickPrint();
        QVERIFY(m_messages->shown.isEmpty());
        QCOMPARE(m_printersMade, 2);
        const QString second = pdfText(m_dir.filePath(QStringLiteral("job2.pdf")));
        QCOMPARE(second.count(QStringLiteral("P1 = 0050")), 1);
        QVERIFY(second.indexOf(QStringLiteral("SIGNED OFF")) >
                second.indexOf(QStringLiteral("P1 = 0050")));
        QVERIFY(!pdfText(m_dir.filePath(QStringLiteral("job1.pdf")))
                     .contains(QStringLiteral("SIGNED OFF")));
    }

    void longReportFlowsOn()
    {
        if (!haveTool("pdftotext"))
            QSKIP("pdftotext (poppler-utils) is needed to read the printed PDF");
        const QString pdf = m_dir.filePath(QStringLiteral("long%1.pdf"));
        printToPdf(pdf);
        QString text;
        for (int i = 1; i <= 150; ++i)
            text += QStringLiteral("LINE %1\r\n").arg(i);
        const QString wide = QString(300, QLatin1Char('W')) + QStringLiteral("TAIL");
        showReport(text + wide);
        clickPrint();

        const QString printed = pdfText(pdf.arg(1));
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
        QVERIFY(frmReport().isVisible());
    }

    // Two clicks, two jobs that the printer has finished while the program
    // still runs.
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
        const QString token =
            QStringLiteral("THROUGH CUPS %1 ").arg(QCoreApplication::applicationPid());
        const QStringList tokens{token + QLatin1Char('A'), token + QLatin1Char('B')};
        for (const QString &t : tokens) {
            showReport(kReport + t);
            clickPrint();
        }
        QVERIFY(m_messages->shown.isEmpty());

        // cups-pdf writes each job as a file of its own, and may still be
        // writing one when it appears.
        QMap<QString, QString> jobOf;
        QTRY_VERIFY_WITH_TIMEOUT((jobOf = finishedJobs(folder, before, tokens)).size() == 2, 90000);
        QVERIFY(jobOf.value(tokens.at(0)) != jobOf.value(tokens.at(1)));
        const QString pdf = jobOf.value(tokens.at(0));
        QVERIFY(pdfText(pdf).contains(QStringLiteral("Data recieved at 19200 baud on COM3")));
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(fonts.waitForFinished(30000));
        const QString faces = QString::fromLatin1(fonts.readAllStandardOutput());
        for (const QString &job : jobOf)
            QVERIFY(QFile::remove(job));
        QVERIFY2(faces.contains(QRegularExpression(QStringLiteral("Mono|Courier"))),
                 "the report is not printed in a monospace face");
    }
};

QTEST_MAIN(TestReportPrint)
#include "tst_reportprint.moc"
