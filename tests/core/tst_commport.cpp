#include "app/transferstate.h"
#include "common/fakeview.h"
#include "transfer/commport.h"
#include "transfer/seriallink.h"
#include "transfer/systemclock.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char kXon = 17;
constexpr char kXoff = 19;
constexpr int kPatience = 5000; // ms a test waits for the kernel before giving up

// The drive's end of a pseudo-terminal; the program opens the other end.
class Pty
{
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0))
            closeMaster();
        if (m_master >= 0)
            m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return m_master >= 0 && !m_slave.isEmpty(); }
    QString slave() const { return m_slave; }

    bool send(const QByteArray &data) const
    {
        return ::write(m_master, data.constData(), size_t(data.size())) == data.size();
    }
    bool readable(int msecs) const
    {
        pollfd target{m_master, POLLIN, 0};
        return ::poll(&target, 1, msecs) == 1 && (target.revents & POLLIN);
    }
    // Reads until count bytes have come or the line stays quiet for msecs.
    QByteArray receive(qsizetype count, int msecs = kPatience) const
    {
        QByteArray data;
        char chunk[1024];
        while (data.size() < count && readable(msecs)) {
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got <= 0)
                break;
            data.append(chunk, got);
        }
        return data;
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};

// Input until count characters have come, waiting on the port between reads.
QByteArray collect(CommPort &port, qsizetype count)
{
    QByteArray data;
    QElapsedTimer waited;
    waited.start();
    while (data.size() < count && waited.elapsed() < kPatience) {
        data += port.input();
        port.waitForInput(10);
    }
    return data;
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

void settle()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

} // namespace

class TestCommPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void settings_data();
    void settings();
    void openCommPort_data();
    void openCommPort();
    void portHeldElsewhereFailsToOpen();
    void closedPortIsHarmless();
    void inputReturnsEverythingInOrder();
    void inBufferCountsWaitingCharacters();
    void onlyXonResumesOutput();
    void closeDiscardsQueuedOutput();
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
    const QString link = m_folder.filePath(QStringLiteral("dosdevices/com%1").arg(number));
    QFile::remove(link);
    return QFile::link(target, link);
}

// COM1 leads to the pty's slave, and the port is open on it as the program opens it.
bool TestCommPort::openOnPty(Pty &pty, CommPort &port, qint32 baudRate)
{
    return pty.isValid() && linkCom(1, pty.slave()) && ::openCommPort(port, 1, baudRate);
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

void TestCommPort::settings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");

    QTest::newRow("9600,N,8,1") << "9600,N,8,1" << true << 9600 << int(QSerialPort::NoParity) << 8
                                << 1;
    QTest::newRow("19200,N,8,1") << "19200,N,8,1" << true << 19200 << int(QSerialPort::NoParity)
                                 << 8 << 1;
    QTest::newRow("300,E,7,2") << "300,E,7,2" << true << 300 << int(QSerialPort::EvenParity) << 7
                               << 2;
    QTest::newRow("115200,O,5,1") << "115200,O,5,1" << true << 115200 << int(QSerialPort::OddParity)
                                  << 5 << 1;
    const char *bad[] = {"9600,n,8,1",  "9600,X,8,1",       "9600,N,9,1",  "9600,N,4,1",
                         "9600,N,8,3",  "9600,N,8,1.5",     "0,N,8,1",     "-9600,N,8,1",
                         " 9600,N,8,1", "9600,N,8",         "9600,N,8,1,", "",
                         "abc,N,8,1",   "99999999999,N,8,1"};
    for (const char *text : bad)
        QTest::newRow(qPrintable(QStringLiteral("refused: \"%1\"").arg(QLatin1String(text))))
            << QString::fromLatin1(text) << false << 0 << 0 << 0 << 0;
}

void TestCommPort::settings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);

    const auto parsed = parseCommSettings(text);
    QCOMPARE(parsed.has_value(), valid);
    CommPort port;
    QCOMPARE(port.setSettings(text), valid);
    if (!valid)
        return;
    QTEST(int(parsed->baudRate), "baud");
    QTEST(int(parsed->parity), "parity");
    QTEST(int(parsed->dataBits), "dataBits");
    QTEST(int(parsed->stopBits), "stopBits");
}

void TestCommPort::openCommPort_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("settings");

    QTest::newRow("COM1 at 9600") << 1 << 9600 << true << QStringLiteral("9600,N,8,1");
    QTest::newRow("COM1 at 19200") << 1 << 19200 << true << QStringLiteral("19200,N,8,1");
    QTest::newRow("no baud rate") << 1 << 0 << false << QString();
    QTest::newRow("negative baud rate") << 1 << -9600 << false << QString();
    QTest::newRow("COM0") << 0 << 9600 << false << QString();
    QTest::newRow("link to a missing device") << 2 << 9600 << false << QString();
}

void TestCommPort::openCommPort()
{
    QFETCH(int, portNumber);
    QFETCH(int, baudRate);
    QFETCH(bool, opens);
    QFETCH(QString, settings);

    Pty pty;
    QVERIFY(pty.isValid());
    QVERIFY(linkCom(1, pty.slave()));
    QVERIFY(linkCom(2, m_folder.filePath(QStringLiteral("unplugged"))));
    CommPort port;
    QCOMPARE(::openCommPort(port, qint16(portNumber), baudRate), opens);
    QCOMPARE(port.portOpen(), opens);
    if (!opens)
        return;
    QCOMPARE(port.settings(), settings);
    QCOMPARE(port.outBufferSize(), 512);
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
    QVERIFY(::openCommPort(holder, 1, 9600));
    CommPort second;
    QVERIFY(!::openCommPort(second, 1, 9600));
    QVERIFY(!second.portOpen());
    QVERIFY(holder.portOpen());
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
    QVERIFY(::openCommPort(port, 1, 9600));
    QVERIFY(pty.send("abc"));
    settle();
    closeCommPort(port);
    closeCommPort(port);
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(port.input().isEmpty());
    // Reopened, the port works again.
    QVERIFY(::openCommPort(port, 1, 9600));
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
    settle();
    // An event pump lets Qt read the first part into a buffer of its own.
    QCoreApplication::processEvents();
    QVERIFY(pty.send(expected.mid(100)));
    settle();
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

    QVERIFY(pty.send(QByteArray(1, kXoff)));
    settle();
    QVERIFY(port.output("hello"));
    port.waitForOutput(50);
    QCOMPARE(port.queuedOutput(), 5);
    QVERIFY(!pty.readable(100));

    QVERIFY(pty.send("A")); // any other character leaves the line held
    settle();
    port.waitForOutput(50);
    QVERIFY(!pty.readable(100));
    QCOMPARE(collect(port, 1), QByteArray("A"));

    QVERIFY(pty.send(QByteArray(1, kXon)));
    QElapsedTimer waited;
    waited.start();
    while (port.queuedOutput() > 0 && waited.elapsed() < kPatience)
        port.waitForOutput(10);
    QCOMPARE(port.queuedOutput(), 0);
    QCOMPARE(port.drain(kPatience), LinePort::DrainStatus::Done);
    QCOMPARE(pty.receive(5), QByteArray("hello"));
    QVERIFY(!port.failed());
}

void TestCommPort::closeDiscardsQueuedOutput()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QVERIFY(pty.send(QByteArray(1, kXoff)));
    settle();
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

void TestCommPort::hangUpIsAFailure()
{
    Pty pty;
    CommPort port;
    QVERIFY(openOnPty(pty, port, 9600));
    QVERIFY(pty.send("last words"));
    settle();
    // Read by Qt during an event pump before the hang-up, and still returned.
    QCoreApplication::processEvents();
    pty.closeMaster();
    QCOMPARE(collect(port, 10), QByteArray("last words"));
    QElapsedTimer waited;
    waited.start();
    while (!port.failed() && waited.elapsed() < kPatience) {
        port.input();
        port.waitForInput(10);
    }
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
    const QByteArray content = lineSafeBytes(3000) + ":00000001FF\r\n";
    QFile out(state.sFileName);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
    out.close();
    TransferFile file;
    QCOMPARE(openTransferFile(state, file), OpenFileResult::Ok);

    // The drive holds the line for a while, then reads the rest only once the
    // port has been closed: what was sent must survive the close.
    QByteArray received;
    std::atomic<bool> closed = false;
    std::thread drive([&pty, &received, &closed, size = content.size()] {
        received = pty.receive(1000);
        pty.send(QByteArray(1, kXoff));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        pty.send(QByteArray(1, kXon));
        for (int waited = 0; !closed && waited < kPatience; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        received += pty.receive(size - received.size());
    });
    FakeView view;
    const TransferOutcome outcome = runTransfer(state, port, file, view);
    closed = true;
    drive.join();

    QCOMPARE(outcome, TransferOutcome::Completed);
    QCOMPARE(state.lByteCount, content.size());
    QCOMPARE(received.size(), content.size());
    QCOMPARE(received, content);
}

QTEST_GUILESS_MAIN(TestCommPort)
#include "tst_commport.moc"
