// The simulated drive's front panel: what each control makes the drive do, and one run
// through the real window against a real pseudo-terminal.

#include "drive.h"
#include "panelcontroller.h"
#include "panelwindow.h"
#include "placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace drivesim;

Q_DECLARE_METATYPE(drivesim::LinkFunction)
Q_DECLARE_METATYPE(drivesim::Mode)

namespace {

constexpr int kTransferTimeoutMs = 20000;

QString sample(const char *name)
{
    return QStringLiteral(DRIVESIM_SAMPLES_DIR "/") + QLatin1String(name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

PanelFiles sampleFiles(const QString &received)
{
    return {sample("drive-dump.mmi"), sample("params.jxf"), received};
}

} // namespace

class TestDriveSimPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }
    void startsLikeADriveSwitchedOn();
    void menuChoice_data();
    void menuChoice();
    void refusedChoiceKeepsTheDriveAsItWas();
    void baudRateMatchesTheProgramsList();
    void goSilent();
    void windowSendsTheParameterFile();
    void rateOtherThanTheProgramsGarbles();
    void placedClearOfTheWizard_data();
    void placedClearOfTheWizard();
    void windowOpensBesideTheWizard();

private:
    QTemporaryDir m_dir;
};

void TestDriveSimPanel::startsLikeADriveSwitchedOn()
{
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    QCOMPARE(drive.mode(), Mode::Idle);
    QCOMPARE(drive.settings().baud, PanelController::kDefaultBaud);
    QCOMPARE(controller.function(), LinkFunction::Off);
}

void TestDriveSimPanel::menuChoice_data()
{
    QTest::addColumn<LinkFunction>("function");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<QString>("command");
    QTest::addColumn<Mode>("mode");
    const QString received = m_dir.filePath("rx.jxf");
    QTest::newRow("dump") << LinkFunction::DumpMmi << "DUMP MMI (Drive TX)"
                          << "transmit " + sample("drive-dump.mmi") << Mode::Transmit;
    QTest::newRow("jxf from drive") << LinkFunction::JxfTransmit << "JXF XFER (Drive TX)"
                                    << "transmit " + sample("params.jxf") << Mode::Transmit;
    QTest::newRow("jxf to drive") << LinkFunction::JxfReceive << "JXF XFER (Drive RX)"
                                  << "receive " + received << Mode::Receive;
    QTest::newRow("off") << LinkFunction::Off << "(serial link off)"
                         << "idle" << Mode::Idle;
}

void TestDriveSimPanel::menuChoice()
{
    QFETCH(LinkFunction, function);
    QFETCH(Mode, mode);
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    QTEST(PanelController::functionName(function), "menuText");
    QTEST(controller.commandFor(function), "command");
    // Start from a choice other than the one under test, so that a choice that does
    // nothing is seen.
    const LinkFunction other =
        function == LinkFunction::JxfReceive ? LinkFunction::DumpMmi : LinkFunction::JxfReceive;
    QCOMPARE(controller.select(other), QString());
    QVERIFY(drive.mode() != mode);
    QCOMPARE(controller.select(function), QString());
    QCOMPARE(drive.mode(), mode);
    QCOMPARE(controller.function(), function);
}

void TestDriveSimPanel::refusedChoiceKeepsTheDriveAsItWas()
{
    Drive drive;
    PanelController controller(
        drive, {m_dir.filePath("no-such.mmi"), sample("params.jxf"), m_dir.filePath("rx.jxf")});
    QCOMPARE(controller.select(LinkFunction::JxfReceive), QString());
    QVERIFY(!controller.select(LinkFunction::DumpMmi).isEmpty());
    QCOMPARE(drive.mode(), Mode::Receive);
    QCOMPARE(controller.function(), LinkFunction::JxfReceive);
    QVERIFY(controller.status().startsWith("Error: "));
}

void TestDriveSimPanel::baudRateMatchesTheProgramsList()
{
    QCOMPARE(PanelController::baudRates(),
             (QList<int>{300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600}));
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    QCOMPARE(controller.setBaud(300), QString());
    QCOMPARE(drive.settings().baud, 300);
    QVERIFY(!controller.setBaud(115200).isEmpty());
    QCOMPARE(drive.settings().baud, 300);
    QCOMPARE(controller.baud(), 300);
}

void TestDriveSimPanel::goSilent()
{
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    QCOMPARE(controller.setSilent(true), QString());
    QCOMPARE(drive.settings().faults.silenceAfter, PanelController::kSilentAfter);
    QCOMPARE(drive.settings().faults.silenceMs, -1);
    QCOMPARE(controller.setSilent(false), QString());
    QVERIFY(drive.settings().faults.silenceAfter < 0);
}

// The menu in the real window makes the drive send the parameter file, as a PC on the
// other end of the line sees it.
void TestDriveSimPanel::windowSendsTheParameterFile()
{
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    PanelWindow window(controller);
    const QString link = m_dir.filePath("dosdevices/com1");
    QVERIFY(QDir().mkpath(m_dir.filePath("dosdevices")));
    QCOMPARE(drive.start(link), QString());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *function = window.findChild<QComboBox *>("cboFunction");
    auto *baud = window.findChild<QComboBox *>("cboBaud");
    auto *count = window.findChild<QLabel *>("lblCount");
    QVERIFY(function && baud && count);
    baud->setCurrentIndex(baud->findText("57600"));
    QCOMPARE(drive.settings().baud, 57600);
    function->setFocus();
    QTest::keyClick(function, Qt::Key_Down);
    QTest::keyClick(function, Qt::Key_Down);
    QCOMPARE(function->currentText(), QString("JXF XFER (Drive TX)"));

    QSerialPort port(link);
    port.setBaudRate(QSerialPort::Baud57600);
    port.setFlowControl(QSerialPort::SoftwareControl);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QByteArray got;
    QStringList countsSeen;
    QElapsedTimer timer;
    timer.start();
    while (!got.endsWith(kEof) && timer.elapsed() < kTransferTimeoutMs) {
        QTest::qWait(20);
        got += port.readAll();
        if (!countsSeen.contains(count->text()))
            countsSeen.append(count->text());
    }
    // The count follows the transmission, not only its end.
    QVERIFY2(countsSeen.size() > 2, qPrintable(countsSeen.join(QLatin1Char('|'))));
    const QByteArray expected = readFile(sample("params.jxf")) + kEof;
    QCOMPARE(got, expected);
    QTRY_COMPARE(count->text(), QString("%1 characters").arg(expected.size()));
    port.close();
    drive.shutDown();
}

// The panel's drive at 9600 baud, the PC's port at 19200: the PC reads garbage, and the
// panel says why.
void TestDriveSimPanel::rateOtherThanTheProgramsGarbles()
{
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    QVERIFY(QDir().mkpath(m_dir.filePath("dosdevices")));
    QCOMPARE(drive.start(m_dir.filePath("dosdevices/com1")), QString());
    QCOMPARE(controller.select(LinkFunction::JxfTransmit), QString());
    QSerialPort port(m_dir.filePath("dosdevices/com1"));
    port.setBaudRate(QSerialPort::Baud19200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QTRY_VERIFY_WITH_TIMEOUT(controller.status().contains("garbled"), kTransferTimeoutMs);
    QVERIFY2(controller.status().contains("19200") && controller.status().contains("9600"),
             qPrintable(controller.status()));
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += port.readAll()).size() >= 100, kTransferTimeoutMs);
    QVERIFY(!readFile(sample("params.jxf")).startsWith(got.left(100)));
    port.close();
    drive.shutDown();
}

void TestDriveSimPanel::placedClearOfTheWizard_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("side"); // where the panel goes; empty: no room clear of the page
    QTest::newRow("wide screen: to the right") << QSize(1920, 1080) << "right";
    QTest::newRow("too narrow beside, room below") << QSize(1024, 768) << "below";
    QTest::newRow("no room anywhere") << QSize(640, 300) << QString();
}

void TestDriveSimPanel::placedClearOfTheWizard()
{
    QFETCH(QSize, screen);
    QFETCH(QString, side);
    const QRect area(QPoint(0, 24), screen); // below a top bar
    QRect page(QPoint(), QSize(430, 175));
    page.moveCenter(area.center());
    const QSize panel(460, 200);
    const QRect placed(Placement::beside(area, page, panel), panel);
    QVERIFY(area.contains(placed));
    if (side.isEmpty())
        return;
    const QRect clear = page.adjusted(-Placement::kClearance, -Placement::kClearance,
                                      Placement::kClearance, Placement::kClearance);
    QVERIFY(!placed.intersects(clear));
    QCOMPARE(side == "right" ? placed.left() > page.right() : placed.top() > page.bottom(), true);
}

// The demo's panel must not open hidden behind the program's page 1.
void TestDriveSimPanel::windowOpensBesideTheWizard()
{
    Drive drive;
    PanelController controller(drive, sampleFiles(m_dir.filePath("rx.jxf")));
    PanelWindow window(controller);
    Placement::besideWizard(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect page = Placement::wizardPage();
    QVERIFY(page.width() > 0 && page.height() > 0);
    QVERIFY(!window.frameGeometry().intersects(page));
    QVERIFY(window.screen()->availableGeometry().contains(window.frameGeometry()));
}

QTEST_MAIN(TestDriveSimPanel)
#include "tst_drivesimpanel.moc"
