// Whole transfers through the real windows, over a real pseudo-terminal, with
// the simulated drive at the other end.
#include "common/wizardfixture.h"
#include "ui/frmreport.h"
#include "ui/reportbox.h"

#include <QTimer>

using namespace Wizard;

namespace {
const QByteArray kRule(50, '-');
} // namespace

class TestTransfers : public QObject, public WizardFixture
{
    Q_OBJECT

private:
private Q_SLOTS:
    void initTestCase() { setUpSuite(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void receiveIsByteExact_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("expectedSize");
        // Unpaced, the whole text may come in one block with the end of data.
        QTest::newRow("MMI dump, unpaced") << 0 << "0" << 60000;
        QTest::newRow("JXF from drive, unpaced") << 1 << "0" << 12000;
        QTest::newRow("MMI dump, 57600 baud") << 0 << "57600" << 60000;
        QTest::newRow("JXF from drive, 57600 baud") << 1 << "57600" << 12000;
    }
    void receiveIsByteExact()
    {
        QFETCH(int, type);
        QFETCH(QString, baud);
        const QByteArray payload = everyCarriedByte(12);
        QVERIFY(writeFile(path("drive.txt"), payload));
        QVERIFY(startSim({"--baud", baud, "--transmit", path("drive.txt")}));
        QFile::remove(path("received.bin")); // a row before left it: no replace question
        next(type, path("received.bin"));
        QVERIFY(frmMain2().isVisible());
        QVERIFY(!button(frmMain2(), "Next")->isEnabled());
        const auto *looks = frmMain2().findChild<QTimer *>("Timer1");
        QVERIFY(looks->isActive());
        QVERIFY(waitForReceive(30000));
        // Page 2 hidden, nothing looks for the drive through the transfer.
        QVERIFY(!looks->isActive());

        QCOMPARE(readFile(path("received.bin")), payload + '\x1a');
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        QCOMPARE(pageText(frmMain3(), "lblPercent"), QStringLiteral("100%"));
        const TransferState &state = transferSession().state();
        // Every character the drive sent, however the blocks fell.
        QCOMPARE(state.lByteCount, payload.size());
        QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" %1").arg(payload.size()));
        QFETCH(int, expectedSize);
        QCOMPARE(state.lFileSize, qMax(expectedSize, state.lByteCount + 1000));
        QVERIFY(button(frmMain3(), "Back")->isEnabled());
        QVERIFY(button(frmMain3(), "Report")->isEnabled());
        QVERIFY(!transferSession().portOpen());
        // These bytes are no parameter file: the check after a JXF receive says so.
        QCOMPARE(m_messages->shown.size(), type == 1 ? 1 : 0);
    }

    void sendIsByteExact()
    {
        const QByteArray file = sendable(everyCarriedByte(20));
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        QVERIFY(nextSendingAnyway(path("params.jxf")));
        QVERIFY(frmMain2().isVisible());
        QVERIFY(button(frmMain2(), "Next")->isEnabled());
        QTest::keyClick(&frmMain2(), Qt::Key_Return); // runs the whole transfer

        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        QCOMPARE(transferSession().state().lByteCount, qint32(file.size()));
        QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" %1").arg(file.size()));
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        QCOMPARE(readFile(path("drive.jxf")), file);
    }

    void sendStopsAtEndOfData()
    {
        QVERIFY(writeFile(path("params.jxf"), "ab\r\n\x1a:00000001FF\r\n"));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        // What would be sent has no end record: a question, not a failure.
        m_messages->answers.push_back(MsgBox::Result::Yes);
        next(2, path("params.jxf"));
        QCOMPARE(m_messages->shown.size(), 1);
        QCOMPARE(m_messages->shown.first().icon, MsgBox::Icon::Warning);
        button(frmMain2(), "Next")->click();
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        QCOMPARE(transferSession().state().lByteCount, 4);
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        QCOMPARE(readFile(path("drive.jxf")), QByteArray("ab\r\n"));
    }

    // The line sets the pace: completion waits until the characters have left
    // the PC. Closing the port discards whatever the program still holds, so
    // the drive ending up with the whole file shows nothing was left behind.
    void sendCompletesOnlyAfterTheLine()
    {
        const QByteArray file = parameterFile(12000);
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--baud", "9600", "--receive", path("drive.jxf")}));
        next(2, path("params.jxf"), 5);
        QElapsedTimer timer;
        timer.start();
        button(frmMain2(), "Next")->click();
        const double seconds = timer.elapsed() / 1000.0;
        qInfo("12000 characters at 9600 baud: %.2f s (the line's minimum is 12.50 s)", seconds);
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        // A pseudo-terminal reports no output queue and buffers what the drive
        // has not read yet, so the characters that have left the PC may still
        // be some thousands short of the drive; a send that reported success
        // with the file still in the program's own queue would end at once.
        QVERIFY2(seconds >= 12.5 / 2, qPrintable(QString::number(seconds)));
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        QCOMPARE(readFile(path("drive.jxf")), file);
    }

    void steadySlowLineNeverShowsRetry()
    {
        QVERIFY(writeFile(path("drive.txt"), QByteArray(45, 'm')));
        QVERIFY(startSim({"--baud", "300", "--transmit", path("drive.txt")}));
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (Forms::isLoaded(Form::Main3) && !seen.contains(status()))
                seen.append(status());
        });
        watch.start(20);
        next(0, path("received.mmi"), 0);
        QVERIFY(waitForReceive(20000));
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        QVERIFY2(!seen.contains(QStringLiteral("Nothing to recieve... Retrying")),
                 qPrintable(seen.join('|')));
        QCOMPARE(readFile(path("received.mmi")), QByteArray(45, 'm') + '\x1a');
    }

    void cancelWhileSending_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Esc") << "escape";
        QTest::newRow("title bar") << "close";
    }
    void cancelWhileSending()
    {
        QFETCH(QString, how);
        const QByteArray file = parameterFile(20000);
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--baud", "9600", "--receive", path("drive.jxf")}));
        next(2, path("params.jxf"), 5);
        // Once the drive has some of the file, the run is stopped from page 3.
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, this, [&] {
            const QStringList counts = m_sim->said("RX");
            if (!transferRunning() || counts.isEmpty() || counts.last() == "0")
                return;
            cancel.stop();
            QCOMPARE(pageText(frmMain3(), "Finish"), QStringLiteral("Cancel"));
            QVERIFY(!button(frmMain3(), "Back")->isEnabled());
            if (how == QLatin1String("close"))
                frmMain3().close();
            else
                QTest::keyClick(&frmMain3(), Qt::Key_Escape);
        });
        cancel.start(10);
        button(frmMain2(), "Next")->click();
        QCOMPARE(status(), QStringLiteral("File Transfer aborted by user."));
        QVERIFY(!transferSession().state().bAbortTransfer);
        QVERIFY(ended());
        QVERIFY(!transferSession().portOpen());
        // The drive sees the close only once it has read, at 9600 baud, what the
        // pseudo-terminal still held: wait as long as it is still taking characters.
        for (QStringList before; !m_sim->waitFor("CLOSED", 5000); before = m_sim->said("RX"))
            QVERIFY2(m_sim->said("RX") != before, "the drive stopped reading but saw no close");
        const QByteArray arrived = readFile(path("drive.jxf"));
        QVERIFY(arrived.size() > 0 && arrived.size() < file.size());
        QVERIFY(file.startsWith(arrived));
        // What the close threw away never reached the drive, and is not counted.
        const qint32 count = transferSession().state().lByteCount;
        QCOMPARE(count, arrived.size());
        QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" %1").arg(count));
        button(frmMain3(), "Report")->click();
        const QString report = frmReport().txtReport()->reportText();
        QVERIFY(report.contains(QString::fromLatin1(kRule + "\r\n" + arrived + "\r\n" + kRule)));
        frmReport().close();
        // Finish, now captioned so again, ends the program.
        button(frmMain3(), "Finish")->click();
        QCOMPARE(Forms::loadedCount(), 0);
    }

    void cancelWhileReceiving()
    {
        const QByteArray dump = everyCarriedByte(20);
        QVERIFY(writeFile(path("drive.txt"), dump));
        QVERIFY(startSim({"--baud", "9600", "--transmit", path("drive.txt")}));
        // Page 3's Cancel, once characters have arrived.
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, this, [&] {
            if (!transferRunning() || transferSession().state().lByteCount == 0)
                return;
            cancel.stop();
            button(frmMain3(), "Finish")->click();
        });
        cancel.start(10);
        next(1, path("received.jxf"), 5);
        QVERIFY(waitForReceive(20000));
        QCOMPARE(status(), QStringLiteral("File Transfer aborted by user."));
        QVERIFY(transferSession().state().bAbortTransfer);
        // The file holds exactly what was counted, the drive's first characters.
        const qint32 count = transferSession().state().lByteCount;
        QVERIFY(count > 0 && count < dump.size());
        QCOMPARE(readFile(path("received.jxf")), dump.left(count));
    }

    void backAfterTransferAndRunAgain()
    {
        QVERIFY(writeFile(path("params.jxf"), parameterFile(20)));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        next(2, path("params.jxf"));
        button(frmMain2(), "Next")->click();
        QCOMPARE(transferSession().state().lByteCount, 20);
        button(frmMain3(), "Back")->click();
        QVERIFY(frmMain1().isVisible());
        QCOMPARE(frmMain1().txtFile()->text(), path("params.jxf"));

        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        QVERIFY(writeFile(path("second.jxf"), parameterFile(18)));
        next(2, path("second.jxf"));
        QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" 20")); // kept until updated
        button(frmMain2(), "Next")->click();
        QCOMPARE(transferSession().state().lByteCount, 18);
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
    }

    void pageTwoShowsTheInstructions_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("sendRecive");
        QTest::addColumn<QString>("instructions");
        QTest::addColumn<bool>("waits");
        QTest::newRow("MMI") << 0 << "Prepare the drive to transmit the MMI file."
                             << "DUMP MMI (Drive TX)" << true;
        QTest::newRow("JXF from drive") << 1 << "Prepare the drive to transmit the JXF file."
                                        << "JXF XFER (Drive TX)" << true;
        QTest::newRow("JXF to drive") << 2 << "Prepare the drive to receive the JXF file."
                                      << "JXF XFER (Drive RX)" << false;
    }
    void pageTwoShowsTheInstructions()
    {
        QFETCH(int, type);
        QFETCH(bool, waits);
        // Something to send, and nothing a receive would have to replace.
        if (waits)
            QFile::remove(path("p.jxf"));
        else
            QVERIFY(writeFile(path("p.jxf"), parameterFile(16)));
        QVERIFY(startSim({"--idle"}));
        next(type, path("p.jxf"));
        FrmMain2 &page2 = frmMain2();
        QVERIFY(page2.isVisible());
        QCOMPARE(page2.windowTitle(), QStringLiteral("Quillet  (page 2 of 3)"));
        QTEST(pageText(page2, "lblSendRecive"), "sendRecive");
        QTEST(pageText(page2, "lblInstructions"), "instructions");
        QCOMPARE(page2.findChild<QLabel *>("Label3")->isVisibleTo(&page2), waits);
        QCOMPARE(button(page2, "Next")->isEnabled(), !waits);
        QTRY_COMPARE(pageText(page2, "lblFile"), FrmMain2::displayForm(path("p.jxf")));
        // Seen open by the drive, which then sees the close too, however quick.
        QVERIFY(m_sim->waitFor("OPENED", 5000));

        button(page2, "Back")->click();
        QVERIFY(frmMain1().isVisible());
        QVERIFY(!page2.isVisible());
        QVERIFY(!transferSession().portOpen());
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
    }

    void pageTwoCancelEndsTheProgram()
    {
        QVERIFY(startSim({"--idle"}));
        next(0, path("out.mmi"));
        QVERIFY(frmMain2().isVisible());
        QTest::keyClick(&frmMain2(), Qt::Key_Escape);
        QCOMPARE(Forms::loadedCount(), 0);
        QVERIFY(portIsFree(1));
        QCOMPARE(readFile(path("out.mmi")), QByteArray()); // created empty, closed
    }
};

QTEST_MAIN(TestTransfers)
#include "tst_transfers.moc"
