// What the user sees when the line, the port or the disk fails, through the
// real windows over a real pseudo-terminal; and what the files then hold.
#include "common/wizardfixture.h"
#include "transfer/transferloop.h"

#include <QTimer>

using namespace Wizard;

class TestTransferFaults : public QObject, public WizardFixture
{
    Q_OBJECT

private:
    // The run stopped in order: a message naming what failed, and page 3 in
    // its end state without claiming success.
    void expectStoppedBy(TransferFault fault)
    {
        QVERIFY(ended());
        QCOMPARE(m_messages->texts(), QStringList{transferFaultMessage(fault)});
        QCOMPARE(status(), QStringLiteral("File Transfer stopped."));
        QVERIFY(button(frmMain3(), "Report")->isEnabled());
        QVERIFY(!transferSession().portOpen());
    }

private Q_SLOTS:
    void initTestCase() { setUpSuite(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void fileStepFailures_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("content"); // "-": no such file
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("missing file")
            << 2 << QByteArray("-") << "Selected file does not exist or is empty.";
        QTest::newRow("empty file")
            << 2 << QByteArray() << "Selected file does not exist or is empty.";
        QTest::newRow("lower-case end record") << 2 << QByteArray(":00000001ff\r\n")
                                               << "Selected file does not have correct "
                                                  "termination sequence in file.";
        QTest::newRow("receive into a folder") << 0 << QByteArray("dir")
                                               << "Selected file is currently not available for "
                                                  "write access.";
    }
    void fileStepFailures()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, content);
        QFETCH(QString, firstLine);
        QVERIFY(startSim({"--idle"}));
        const QString file = path("subject.jxf");
        QFile::remove(file);
        QDir(file).removeRecursively();
        if (content == "dir")
            QVERIFY(QDir().mkpath(file));
        else if (content != "-")
            QVERIFY(writeFile(file, content));
        next(type, file);
        expectPageOneBack(firstLine + "\rPlease select an alternate file.");
        QVERIFY(portIsFree(1));
    }

    void portHeldByAnotherProgram()
    {
        QVERIFY(startSim({"--idle"}));
        PortHolder holder;
        QVERIFY(holder.hold(1));
        next(0, path("out.mmi"));
        // Who holds it, as the port listing names it.
        expectPageOneBack(
            PageOne::serialMessage(QStringLiteral("%1, busy (held by holdport, process %2)")
                                       .arg(PortNames::deviceForPort(1))
                                       .arg(holder.processId())));
        QVERIFY(!QFile::exists(path("out.mmi"))); // the file step never ran
    }

    void portThatIsNotThere()
    {
        next(0, path("out.mmi"), 8, 6); // COM7: no link, and no such device here
        expectPageOneBack(PageOne::serialMessage(QStringLiteral("/dev/ttyS6, missing")));
    }

    // Unplugged while page 2 waits for the drive: said as a transfer says it,
    // within a second, and page 1 is back with the port and the file closed.
    void driveHangsUpWhilePageTwoWaits()
    {
        QVERIFY(startSim({"--idle", "--hangup", "0"}));
        next(0, path("out.mmi"));
        QVERIFY(frmMain2().isVisible());
        QVERIFY(m_sim->waitFor("HUNGUP", 10000));
        QTRY_VERIFY_WITH_TIMEOUT(frmMain1().isVisible(), 1000);
        QCOMPARE(m_messages->texts(), QStringList{transferFaultMessage(TransferFault::PortFailed)});
        QVERIFY(!frmMain2().isVisible());
        QVERIFY(!transferSession().portOpen() && !transferSession().fileOpen());
    }

    void driveHangsUpWhileSending()
    {
        const QByteArray file = parameterFile(20000);
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--baud", "57600", "--receive", path("drive.jxf"), "--hangup", "3000"}));
        next(2, path("params.jxf"));
        button(frmMain2(), "Next")->click();
        expectStoppedBy(TransferFault::PortFailed);
        QVERIFY(transferSession().state().lByteCount < file.size());
    }

    void driveHangsUpWhileReceiving()
    {
        const QByteArray dump = everyCarriedByte(40);
        QVERIFY(writeFile(path("drive.txt"), dump));
        QVERIFY(startSim({"--baud", "57600", "--transmit", path("drive.txt"), "--hangup", "3000"}));
        next(0, path("received.mmi"));
        QVERIFY(waitForReceive(20000));
        expectStoppedBy(TransferFault::PortFailed);
        // Everything that arrived is kept, nothing more.
        QCOMPARE(readFile(path("received.mmi")), dump.left(3000));
    }

    void driveHoldsXoffInTheMiddleOfASend()
    {
        const QByteArray file = sendable(everyCarriedByte(kPastThePtyBuffer));
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--receive", path("drive.jxf"), "--xoff-hold", "2000,3000"}));
        QVERIFY(nextSendingAnyway(path("params.jxf")));
        QElapsedTimer timer;
        timer.start();
        button(frmMain2(), "Next")->click();
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(status(), QStringLiteral("File Transfer complete."));
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        // The PC stopped when told: nothing came that a drive's UART would have lost.
        QCOMPARE(m_sim->said("OVERRUN"), QStringList{"0"});
        QCOMPARE(readFile(path("drive.jxf")), file); // nothing lost, nothing twice
        QVERIFY2(elapsed >= 2900, qPrintable(QString::number(elapsed)));
    }

    void silentLineTimesOut()
    {
        QVERIFY(writeFile(path("drive.txt"), QByteArray(100, 't')));
        QVERIFY(startSim({"--baud", "57600", "--no-eof", "--transmit", path("drive.txt")}));
        next(1, path("received.jxf"));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(waitForReceive(20000));
        qInfo("silent line: time-out after %.1f s", timer.elapsed() / 1000.0);
        // What arrived is a part of a parameter file at most, and the user is told.
        QCOMPARE(m_messages->shown.size(), 2);
        QCOMPARE(m_messages->texts().first(),
                 QStringLiteral("Timeout on Coms. No data to recieve"));
        QCOMPARE(m_messages->shown.first().icon, MsgBox::Icon::None);
        const QString partial = m_messages->texts().last();
        QVERIFY2(partial.contains("not a complete parameter file") &&
                     partial.contains("\"JXF XFER (Drive TX)\""),
                 qPrintable(partial));
        QCOMPARE(status(), QStringLiteral("Timeout on Coms. No data to recieve"));
        QVERIFY(transferSession().state().bAbortTransfer);
        QCOMPARE(readFile(path("received.jxf")), QByteArray(100, 't') + '\x1a');
        // Roughly 1.5 s of silence, the 2 s pause, then 1 s more.
        QVERIFY(timer.elapsed() > 4000);
    }
};

QTEST_MAIN(TestTransferFaults)
#include "tst_transferfaults.moc"
