#include "common/fakeview.h"
#include "common/pty.h"
#include "transfer/commport.h"
#include "transfer/portlock_posix.h"
#include "transfer/seriallink.h"
#include "transfer/systemclock.h"
#include "transfer/transferchoices.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"
#include "transfer/transferstate.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <termios.h>

namespace {

constexpr char kXon = 17;
constexpr char kXoff = 19;
constexpr int kPatience = Pty::kPatience;

// The port the program opens for a COM number, or a device when the number is 0.
TransferChoices line(qint16 portNumber, qint32 baudRate, const QString &device = {})
{
    TransferChoices choices;
    choices.portNumber = portNumber;
    choices.devicePath = device;
    choices.baudRate = baudRate;
    return choices;
}

// Input until count characters have come, waiting in the event loop for the
// port to say that more are there, as the transfer loop does.
QByteArray collect(CommPort &port, qsizetype count)
{
    QByteArray data;
    SystemTransferClock clock;
    QDeadlineTimer patience(kPatience);
    while (data.size() < count && !patience.hasExpired()) {
        port.wakeOn(LinePort::Wake::Input);
        clock.waitForEvents(int(patience.remainingTime()), [&port] { return port.inputWaiting(); });
        data += port.input();
    }
    port.wakeOn(LinePort::Wake::Failure);
    return data;
}

// Until the port has handed everything queued to the device.
bool sendQueued(CommPort &port)
{
    port.wakeOn(LinePort::Wake::Output);
    SystemTransferClock().waitForEvents(kPatience, [&port] { return port.queuedOutput() == 0; });
    port.wakeOn(LinePort::Wake::Failure);
    return port.queuedOutput() == 0;
}

LinePort::DrainStatus drained(CommPort &port)
{
    LinePort::DrainStatus status = LinePort::DrainStatus::Pending;
    port.wakeOn(LinePort::Wake::Output);
    SystemTransferClock().waitForEvents(kPatience, [&] {
        status = port.drain();
        return status != LinePort::DrainStatus::Pending;
    });
    port.wakeOn(LinePort::Wake::Failure);
    return status;
}

// The drive holds the line: XOFF, then a character that arrives after it
// and so shows that the port's side has taken the XOFF too.
bool holdLine(Pty &pty, CommPort &port)
{
    return pty.send(QByteArray(1, kXoff) + 'h') && collect(port, 1) == "h";
}

QByteArray lineSafeBytes(int size)
{
    QByteArray data;
    for (int c = 0; data.size() < size; c = (c + 1) % 256) {
        if (c != kXon && c != kXoff && c != 26)
            data.append(char(c));
    }
    return data;
}

} // namespace

class TestCommPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void openCommPort_data();
    void openCommPort();
    void portHeldElsewhereFailsToOpen();
    void lockFilesAreKeptAndHonoured_data();
    void lockFilesAreKeptAndHonoured();
    void inputFromBeforeTheOpenIsDiscarded();
    void drainWaitsForAnAdaptersTail();
    void lossIsSeenByALook();
    void closedPortIsHarmless();
    void inputReturnsEverythingInOrder();
    void inBufferCountsWaitingCharacters();
    void onlyXonResumesOutput();
    void closeDiscardsQueuedOutput();
    void closeKeepsWhatTheLineTook();
    void hangUpIsAFailure();
    void slowLineNeverShowsRetry();
    void sendHeldByXoffLosesNothing();

private:
    bool linkCom(int number, const QString &target);
    bool openOnPty(Pty &pty, CommPort &port, qint32 baudRate);
    QTemporaryDir m_folder;
};

bool TestCommPort::linkCom(int number, const QString &target)
{
    return ::linkCom(m_folder.path(), number, target);
}

// COM1 leads to the pty's slave, and the port is open on it as the program opens it.
bool TestCommPort::openOnPty(Pty &pty, CommPort &port, qint32 baudRate)
{
    return pty.isValid() && linkCom(1, pty.slave()) && ::openCommPort(port, line(1, baudRate));
}

void TestCommPort::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("dosdevices")));
    qputenv("windir", m_folder.path().toLocal8Bit());
}

void TestCommPort::cleanupTestCase()
{
    qunsetenv("windir");
}

void TestCommPort::openCommPort_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QString>("device"); // used when portNumber is 0; @ is the pty
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<CommPort::OpenFailure>("failure");

    using Failure = CommPort::OpenFailure;
    QTest::newRow("COM1 at 9600") << 1 << QString() << 9600 << true << Failure::None;
    QTest::newRow("COM1 at 19200") << 1 << QString() << 19200 << true << Failure::None;
    QTest::newRow("device path") << 0 << "@" << 57600 << true << Failure::None;
    QTest::newRow("no baud rate") << 1 << QString() << 0 << false << Failure::None;
    QTest::newRow("negative baud rate") << 1 << QString() << -9600 << false << Failure::None;
    QTest::newRow("a rate no line runs at") << 1 << QString() << 1234 << false << Failure::Refused;
    QTest::newRow("COM0 and no device") << 0 << QString() << 9600 << false << Failure::None;
    QTest::newRow("missing device path")
        << 0 << "/nonexistent/ttyUSB9" << 9600 << false << Failure::NoDevice;
    QTest::newRow("link to a missing device")
        << 2 << QString() << 9600 << false << Failure::NoDevice;
    QTest::newRow("not a terminal") << 0 << "/dev/null" << 9600 << false << Failure::NotATerminal;
}

void TestCommPort::openCommPort()
{
    QFETCH(int, portNumber);
    QFETCH(QString, device);
    QFETCH(int, baudRate);
    QFETCH(bool, opens);

    Pty pty;
    QVERIFY(pty.isValid());
    QVERIFY(linkCom(1, pty.slave()));
    QVERIFY(linkCom(2, m_folder.filePath(QStringLiteral("unplugged"))));
    device.replace(QLatin1Char('@'), pty.slave());
    CommPort port;
    QCOMPARE(::openCommPort(port, line(qint16(portNumber), baudRate, device)), opens);
    QCOMPARE(port.portOpen(), opens);
    QTEST(port.openFailure(), "failure");
    if (!opens)
        return;
    QCOMPARE(port.commPort(), portNumber);
    // The chosen rate, no parity, 8 data bits, 1 stop bit.
    CommSettings expected;
    expected.baudRate = baudRate;
    QCOMPARE(port.settings(), expected);
    // The queue outlasts a wait for room even at the fastest rate offered:
    // the line never runs dry while the loop waits.
    const qint64 fastest =
        *std::max_element(SerialLink::kBaudRates.begin(), SerialLink::kBaudRates.end());
    QVERIFY(port.outBufferSize() * 10 * 1000 > fastest * TransferLoop::kRoomWaitMsecs);
    // Only XON may end an XOFF, and the port sends XOFF when it is full.
    termios tio{};
    QCOMPARE(::tcgetattr(int(port.handle()), &tio), 0);
    QVERIFY(tio.c_iflag & IXON);
    QVERIFY(tio.c_iflag & IXOFF);
    QVERIFY(!(tio.c_iflag & IXANY));
    closeCommPort(port);
    QVERIFY(!port.portOpen());
}

void TestCommPort::portHeldElsewhereFailsToOpen()
{
    Pty pty;
    QVERIFY(pty.isValid());
    QVERIFY(linkCom(1, pty.slave()));
    CommPort holder;
    QVERIFY(::openCommPort(holder, line(1, 9600)));
    CommPort second;
    QVERIFY(!::openCommPort(second, line(1, 9600)));
    QVERIFY(!second.portOpen());
    QCOMPARE(second.openFailure(), CommPort::OpenFailure::Busy);
    QVERIFY(holder.portOpen());
}

// Other serial programs learn of the port's use from a lock file, and the
// port honours theirs; one left by a program that has ended is taken over.
void TestCommPort::lockFilesAreKeptAndHonoured_data()
{
    QTest::addColumn<bool>("holderRuns");
    QTest::newRow("held by a running program") << true;
    QTest::newRow("left by a program that ended") << false;
}

void TestCommPort::lockFilesAreKeptAndHonoured()
{
    QFETCH(bool, holderRuns);
    Pty pty;
    QVERIFY(pty.isValid());
    QVERIFY(linkCom(1, pty.slave()));
    const QString name = PortLock::fileName(pty.slave());
    const auto lockPaths = [&name] {
        QStringList found;
        for (const QString &folder : PortLock::folders()) {
            // One lock folder may be a link to another.
            const QString lock = QFileInfo(folder + QLatin1Char('/') + name).canonicalFilePath();
            if (!lock.isEmpty() && !found.contains(lock))
                found.append(lock);
        }
        return found;
    };
    CommPort port;
    QVERIFY(::openCommPort(port, line(1, 9600)));
    const QStringList ours = lockPaths();
    QCOMPARE(ours.size(), 1);
    QFile lock(ours.first());
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(lock.readAll().trimmed().toLongLong(), qint64(QCoreApplication::applicationPid()));
    lock.close();
    closeCommPort(port);
    QVERIFY(lockPaths().isEmpty());

    QProcess other;
    other.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(other.waitForStarted());
    const qint64 pid = other.processId();
    if (!holderRuns) {
        other.kill();
        QVERIFY(other.waitForFinished());
    }
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid).rightJustified(10) + '\n');
    lock.close();
    QCOMPARE(::openCommPort(port, line(1, 9600)), !holderRuns);
    QCOMPARE(port.openFailure(),
             holderRuns ? CommPort::OpenFailure::Busy : CommPort::OpenFailure::None);
    closeCommPort(port);
    QFile::remove(ours.first());
    other.kill();
    other.waitForFinished();
}

// Characters that came before the open, a drive's last words to another
// program or noise from plugging in, never start a transfer.
void TestCommPort::inputFromBeforeTheOpenIsDiscarded()
{
    Pty pty;
    QVERIFY(pty.isValid());
    QVERIFY(pty.send("stale"));
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QVERIFY(pty.send("fresh"));
    QCOMPARE(collect(port, 5), QByteArray("fresh"));
}

// A USB adapter's chip still sends what the driver handed it: the drain
// lasts at least as long as the line needs for that.
void TestCommPort::drainWaitsForAnAdaptersTail()
{
    Pty pty;
    QVERIFY(pty.isValid());
    CommPort port;
    CommSettings settings;
    settings.baudRate = 9600;
    QVERIFY(port.setDevice(pty.slave()) && port.setSettings(settings) &&
            port.setHandshaking(CommPort::XonXoff) && port.setAdapterBuffer(192));
    QVERIFY(port.setPortOpen(true));
    QVERIFY(!port.setAdapterBuffer(64)); // only while closed
    QVERIFY(port.output("x") && sendQueued(port));
    QElapsedTimer took;
    took.start();
    QCOMPARE(drained(port), LinePort::DrainStatus::Done);
    QVERIFY2(took.elapsed() >= 192 * 10 * 1000 / 9600, qPrintable(QString::number(took.elapsed())));
}

// A line that hangs up while nothing moves is found by a look at the device.
void TestCommPort::lossIsSeenByALook()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QVERIFY(!port.lost());
    pty.closeMaster();
    QVERIFY(port.lost());
    QVERIFY(port.failed());
    QCOMPARE(port.drain(), LinePort::DrainStatus::Failed);
}

void TestCommPort::closedPortIsHarmless()
{
    CommPort port;
    closeCommPort(port);
    closeCommPort(port);
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(port.input().isEmpty());
    QVERIFY(!port.output("x"));
    QCOMPARE(port.queuedOutput(), 0);
    QVERIFY(!port.failed());

    Pty pty;
    QVERIFY(pty.isValid());
    QVERIFY(linkCom(1, pty.slave()));
    QVERIFY(::openCommPort(port, line(1, 9600)));
    QVERIFY(pty.send("abc"));
    QTRY_COMPARE_WITH_TIMEOUT(port.inBufferCount(), 3, kPatience);
    closeCommPort(port);
    closeCommPort(port);
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(port.input().isEmpty());
    // Reopened, the port works again.
    QVERIFY(::openCommPort(port, line(1, 9600)));
    QVERIFY(port.output("z"));
    QCOMPARE(pty.receive(1), QByteArray("z"));
}

void TestCommPort::inputReturnsEverythingInOrder()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));

    QByteArray expected;
    for (int c = 0; c < 256; ++c) {
        if (c != kXon && c != kXoff) // taken by the flow control
            expected.append(char(c));
    }
    const QByteArray first = expected.left(100);
    QVERIFY(pty.send(first));
    QTRY_VERIFY_WITH_TIMEOUT(port.inputWaiting(), kPatience);
    // Events handled between the two parts take nothing off the line.
    QCoreApplication::processEvents();
    QVERIFY(pty.send(expected.mid(100)));
    QCOMPARE(collect(port, expected.size()), expected);
    QVERIFY(port.input().isEmpty());
    QVERIFY(!port.failed());
}

void TestCommPort::inBufferCountsWaitingCharacters()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(pty.send("hello"));
    QTRY_COMPARE_WITH_TIMEOUT(port.inBufferCount(), 5, kPatience);
    QCoreApplication::processEvents();
    QCOMPARE(port.inBufferCount(), 5);
    QCOMPARE(port.input(), QByteArray("hello"));
    QCOMPARE(port.inBufferCount(), 0);
}

void TestCommPort::onlyXonResumesOutput()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));

    QVERIFY(holdLine(pty, port));
    // The device refuses them: without flow control they would be on the line.
    QVERIFY(port.output("hello"));
    QCOMPARE(port.queuedOutput(), 5);
    port.wakeOn(LinePort::Wake::Output);
    QVERIFY(pty.send("A")); // any other character leaves the line held
    QCOMPARE(collect(port, 1), QByteArray("A"));
    QCOMPARE(port.queuedOutput(), 5);
    QCOMPARE(pty.waiting(), 0);

    QVERIFY(pty.send(QByteArray(1, kXon)));
    QVERIFY(sendQueued(port));
    QCOMPARE(drained(port), LinePort::DrainStatus::Done);
    QCOMPARE(pty.receive(5), QByteArray("hello"));
    QVERIFY(!port.failed());
}

void TestCommPort::closeDiscardsQueuedOutput()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QVERIFY(holdLine(pty, port));
    QVERIFY(port.output(QByteArray(100, 'q')));
    QCOMPARE(port.queuedOutput(), 100);
    closeCommPort(port);
    QCOMPARE(port.queuedOutput(), 0);
    QVERIFY(!pty.readable(200));
    // What was thrown away is known, so that it is not counted as sent.
    QCOMPARE(port.discarded(), 100);
    closeCommPort(port);
    QCOMPARE(port.discarded(), 100);
    QVERIFY(port.setPortOpen(true));
    QCOMPARE(port.discarded(), 0);
}

// A pseudo-terminal takes far more than the drive's end has read and reports
// none of it as queued; flushing its output at the close would throw that
// away after it was counted as sent.
void TestCommPort::closeKeepsWhatTheLineTook()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    const QByteArray taken = lineSafeBytes(12000);
    QVERIFY(port.output(taken));
    QVERIFY(sendQueued(port));
    QVERIFY(holdLine(pty, port));
    QVERIFY(port.output(QByteArray(100, 'q')));
    closeCommPort(port);
    QCOMPARE(port.discarded(), 100);
    QCOMPARE(pty.receive(taken.size() + 100), taken);
}

void TestCommPort::hangUpIsAFailure()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QVERIFY(pty.send("last words"));
    QCOMPARE(collect(port, 10), QByteArray("last words"));
    pty.closeMaster();
    // A wait for input ends with the hang-up, and the next read tells it.
    port.wakeOn(LinePort::Wake::Input);
    SystemTransferClock().waitForEvents(-1, [&port] { return port.inputWaiting(); });
    QVERIFY(port.input().isEmpty());
    QVERIFY(port.failed());
    QVERIFY(!port.output("x"));
    closeCommPort(port);
    QVERIFY(!port.portOpen());
}

void TestCommPort::slowLineNeverShowsRetry()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 300));
    QTemporaryDir dir;
    TransferState state;
    state.iTransferType = TransferType::kMmiDump;
    state.sFileName = dir.filePath(QStringLiteral("dump.mmi"));
    TransferFile file;
    QCOMPARE(openTransferFile(state, file), OpenFileResult::Ok);

    // Gaps far longer than 1,502 reads of a port that answers at once.
    const QByteArray text("slow drive\r\n");
    std::thread drive([&pty, text] {
        for (char c : text + '\x1a') {
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
            pty.send(QByteArray(1, c));
        }
    });
    FakeView view;
    const TransferOutcome outcome = runTransfer(state, port, file, view);
    drive.join();

    QCOMPARE(outcome, TransferOutcome::Completed);
    QVERIFY(view.callsOf(QStringLiteral("status=Nothing")).isEmpty());
    QFile stored(state.sFileName);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), text + '\x1a');
}

void TestCommPort::sendHeldByXoffLosesNothing()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QTemporaryDir dir;
    TransferState state;
    state.iTransferType = TransferType::kJxfToDrive;
    state.sFileName = dir.filePath(QStringLiteral("params.jxf"));
    // Far more than the pseudo-terminal holds, so that the XOFF comes while
    // the port still has most of it to send.
    const QByteArray content = lineSafeBytes(200000) + ":00000001FF\r\n";
    QFile out(state.sFileName);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
    out.close();
    TransferFile file;
    QCOMPARE(openTransferFile(state, file), OpenFileResult::Ok);

    // The drive holds the line for a while as a UART's receiver does: what
    // is already on its way when it sends XOFF is taken, anything that comes
    // later is overrun (a real drive would lose it). Then it reads the rest,
    // the last of it only once the port has been closed: what was sent must
    // survive the close.
    QByteArray received;
    qsizetype overrun = -1;
    std::atomic<bool> closed = false;
    std::thread drive([&pty, &received, &overrun, &closed, size = content.size()] {
        received = pty.receive(1000);
        pty.send(QByteArray(1, kXoff));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        received += pty.receive(pty.waiting(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        overrun = pty.waiting();
        pty.send(QByteArray(1, kXon));
        while (!closed && received.size() < size)
            received += pty.receive(1, 10);
        received += pty.receive(size - received.size());
    });
    FakeView view;
    const TransferOutcome outcome = runTransfer(state, port, file, view);
    closed = true;
    drive.join();

    QCOMPARE(overrun, 0);
    QCOMPARE(outcome, TransferOutcome::Completed);
    QCOMPARE(state.lByteCount, content.size());
    QCOMPARE(received.size(), content.size());
    QCOMPARE(received, content);
}

QTEST_GUILESS_MAIN(TestCommPort)
#include "tst_commport.moc"
