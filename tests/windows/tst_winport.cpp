// The Windows port, its drain and the listing against a driver of the test's
// own, put in WinCalls' table; the settings file's names and the command's
// Ctrl-C on the system itself. Run under Wine by test-wine.sh.
#include "settings/settingsfile.h"
#include "transfer/commport.h"
#include "transfer/seriallink.h"
#include "transfer/serialports.h"
#include "transfer/transferchoices.h"
#include "transfer/wincalls_win.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <mutex>

namespace {

const HANDLE kPort = HANDLE(0x5150);
const QString kCom3 = "\\\\.\\COM3";
const QByteArray kBlock(100, 'a');
using Drain = LinePort::DrainStatus;

// What the driver does, and what it was asked.
struct Driver
{
    bool writesPend = false, waitsEndEmpty = false, purges = true;
    bool gone = false, xoffHold = false;
    DWORD openError = 0, flushError = 0, lineErrors = 0, outQueue = 0;
    QByteArray received;
    int opens = 0, writes = 0, waits = 0, waitResults = 0;
    QList<DWORD> purged;
    OVERLAPPED *pendingWrite = nullptr, *pendingWait = nullptr, *waitIo = nullptr;
    QList<WinCalls::PortDevice> devices{
        {"COM3", "USB Serial Port (COM3)", {"FTDIBUS\\VID_0403+PID_6001+A1B2C3\\0000"}},
        {"COM12", "Communications Port (COM12)", {"ACPI\\PNP0501\\1"}}};
} d;
std::mutex g_mutex; // a drain asks from a thread of its own

// The driver's answers, each standing for the Win32 call of its name.
struct Fake
{
    static BOOL fail(DWORD error) { return ::SetLastError(error), FALSE; }
    // Ends an operation: its status (0, or the error to give), count, event.
    static BOOL end(OVERLAPPED *&io, DWORD error, DWORD count)
    {
        io->InternalHigh = count;
        io->Internal = error;
        return ::SetEvent(std::exchange(io, nullptr)->hEvent);
    }
    static BOOL pend(OVERLAPPED *io, OVERLAPPED *&slot)
    {
        io->Internal = STATUS_PENDING;
        return slot = io, fail(ERROR_IO_PENDING);
    }
    template<typename... Args>
    static BOOL yes(Args...)
    {
        return TRUE;
    }
    static HANDLE createFile(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
    {
        ++d.opens;
        return d.openError && !fail(d.openError) ? INVALID_HANDLE_VALUE : kPort;
    }
    static BOOL readFile(HANDLE, LPVOID data, DWORD count, LPDWORD, LPOVERLAPPED io)
    {
        memcpy(data, d.received.constData(), count); // what the port's count said
        return d.received.remove(0, count), end(io, 0, count);
    }
    static BOOL writeFile(HANDLE, LPCVOID, DWORD count, LPDWORD, LPOVERLAPPED io)
    {
        return ++d.writes, d.writesPend ? pend(io, d.pendingWrite) : end(io, 0, count);
    }
    static BOOL result(HANDLE, LPOVERLAPPED io, LPDWORD count, BOOL)
    {
        if (io->Internal == STATUS_PENDING)
            return fail(ERROR_IO_INCOMPLETE);
        d.waitResults += io == d.waitIo;
        *count = DWORD(io->InternalHigh);
        return io->Internal == 0 || fail(DWORD(io->Internal));
    }
    static BOOL wait(HANDLE, LPDWORD mask, LPOVERLAPPED io)
    {
        ++d.waits;
        *mask = 0;
        d.waitIo = io;
        return d.waitsEndEmpty ? end(io, 0, 0) : pend(io, d.pendingWait);
    }
    static BOOL counts(HANDLE, LPDWORD errors, LPCOMSTAT stat)
    {
        const std::lock_guard lock(g_mutex);
        *errors = std::exchange(d.lineErrors, 0);
        *stat = COMSTAT{};
        stat->fXoffHold = d.xoffHold;
        stat->cbInQue = DWORD(d.received.size());
        stat->cbOutQue = d.outQueue;
        return !d.gone || fail(ERROR_BAD_COMMAND);
    }
    static BOOL purge(HANDLE, DWORD flags)
    {
        d.purged.append(flags);
        if (d.purges && (flags & PURGE_RXCLEAR))
            d.received.clear();
        return d.purges || fail(ERROR_INVALID_FUNCTION);
    }
    static BOOL flush(HANDLE)
    {
        const std::lock_guard lock(g_mutex);
        return !d.flushError || fail(d.flushError);
    }
    static QStringList serialComm() { return {"COM3", "COM12"}; }
    static QList<WinCalls::PortDevice> devices() { return d.devices; }
};

WinCalls::Table fakeCalls()
{
    return {Fake::createFile, Fake::yes,        Fake::yes,     Fake::readFile, Fake::writeFile,
            Fake::result,     Fake::yes,        Fake::wait,    Fake::counts,   Fake::purge,
            Fake::flush,      Fake::yes,        Fake::yes,     Fake::yes,      Fake::yes,
            Fake::yes,        Fake::serialComm, Fake::devices, false};
}

bool openCom3(CommPort &port, qint32 baudRate = 57600)
{
    TransferChoices choices;
    choices.portNumber = 3;
    choices.baudRate = baudRate;
    return openCommPort(port, choices);
}

} // namespace

class TstWinPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        const std::lock_guard lock(g_mutex);
        d = Driver{};
        WinCalls::calls() = fakeCalls();
    }

    void writesThatPendLetTheNextGoAtOnce()
    {
        d.writesPend = true;
        CommPort port;
        QVERIFY(openCom3(port));
        QVERIFY(port.output(kBlock) && port.output(kBlock)); // the second waits for the first
        QCOMPARE(d.writes, 1);
        Fake::end(d.pendingWrite, 0, kBlock.size());
        port.wakeOn(LinePort::Wake::Output);
        QTRY_COMPARE(d.writes, 2);
        Fake::end(d.pendingWrite, 0, kBlock.size());
        QTRY_COMPARE(port.queuedOutput(), 0);
        QVERIFY(port.output(kBlock)); // nothing pending: to the driver at once
        QCOMPARE(d.writes, 3);
        Fake::end(d.pendingWrite, 0, kBlock.size()); // this driver ends nothing cancelled
    }

    void closeWhoseCancelNeverEnds()
    {
        d.writesPend = true; // and the driver never ends what is cancelled
        CommPort port;
        QVERIFY(openCom3(port));
        port.wakeOn(LinePort::Wake::Input);
        QVERIFY(port.output(kBlock));
        port.close();
        QCOMPARE(port.discarded(), kBlock.size()); // the drive may never get them
        // The driver ends both long after: nothing of the port may hear it.
        QWinEventNotifier late(d.pendingWrite->hEvent);
        bool ended = false;
        connect(&late, &QWinEventNotifier::activated, [&ended] { ended = true; });
        Fake::end(d.pendingWait, ERROR_OPERATION_ABORTED, 0);
        Fake::end(d.pendingWrite, ERROR_OPERATION_ABORTED, 0);
        QTRY_VERIFY(ended);
        QCoreApplication::processEvents();
        QVERIFY(!port.portOpen());
    }

    void drain_data()
    {
        QTest::addColumn<QString>("hardwareId");
        QTest::addColumn<uint>("flushError");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<bool>("xoff");
        QTest::addColumn<int>("tailChars"); // 0: no wait after the driver's
        const QString uart = "ACPI\\PNP0501\\1", ft232r = "FTDIBUS\\VID_0403+PID_6001+A\\0000";
        QTest::newRow("no flush") << uart << uint(ERROR_INVALID_FUNCTION) << false << false << 0;
        QTest::newRow("gone") << uart << uint(ERROR_GEN_FAILURE) << true << false << 0;
        QTest::newRow("FT232R") << ft232r << 0u << false << false << 256;
        QTest::newRow("FT232R, XOFF") << ft232r << 0u << false << true << 256;
    }
    void drain()
    {
        QFETCH(QString, hardwareId);
        QFETCH(uint, flushError);
        QFETCH(bool, gone);
        QFETCH(bool, xoff);
        QFETCH(int, tailChars);
        d.devices.first().hardwareIds = {hardwareId};
        CommPort port;
        QVERIFY(openCom3(port) && port.output(kBlock));
        d.flushError = flushError;
        d.gone = gone;
        d.xoffHold = xoff;
        const int tailMs = tailChars * 10 * 1000 / 57600;
        QElapsedTimer sending;
        sending.start();
        Drain now = port.drain();
        if (xoff) {
            // Past the time the tail needs, the drive's XOFF still holds it: a
            // slower machine only waits longer, which cannot make it end.
            QTest::qWait(4 * tailMs);
            sending.restart();
            QCOMPARE(port.drain(), Drain::Pending);
            d.xoffHold = false;
        }
        const auto ended = [&] { // asked until it ends, and no more
            return (now = now == Drain::Pending ? port.drain() : now) != Drain::Pending;
        };
        QTRY_VERIFY(ended());
        QCOMPARE(now, gone ? Drain::Failed : Drain::Done);
        QVERIFY(sending.elapsed() >= tailMs);
    }

    void abortedWait_data()
    {
        QTest::addColumn<bool>("wine");
        QTest::addColumn<bool>("answers");
        QTest::newRow("driver gone") << false << false;
        QTest::newRow("driver answers yet") << false << true;
        QTest::newRow("Wine, gone") << true << false;
        QTest::newRow("Wine, answers: its own way") << true << true;
    }
    void abortedWait()
    {
        QFETCH(bool, wine);
        QFETCH(bool, answers);
        WinCalls::calls().underWine = wine;
        CommPort port;
        QVERIFY(openCom3(port));
        port.wakeOn(LinePort::Wake::Input);
        d.gone = !answers;
        Fake::end(d.pendingWait, ERROR_OPERATION_ABORTED, 0);
        QTRY_COMPARE(d.waitResults, 1);
        QCOMPARE(port.lost(), !(wine && answers));
    }

    void emptyWakesBackOff()
    {
        d.waitsEndEmpty = true;
        CommPort port;
        QVERIFY(openCom3(port));
        QElapsedTimer waking;
        waking.start();
        port.wakeOn(LinePort::Wake::Input);
        QTRY_VERIFY(d.waits >= 4);
        QVERIFY(d.waits <= waking.elapsed() / 9 + 2); // a 10 ms pause after each, not a spin
    }

    void openAndClose_data()
    {
        QTest::addColumn<bool>("wine");
        QTest::addColumn<bool>("purges");
        QTest::addColumn<int>("driverCount");
        QTest::newRow("the chip may hold some") << false << true << 0;
        QTest::newRow("no purge at the open") << false << false << 0;
        QTest::newRow("Wine's terminal took all") << true << true << 0;
        QTest::newRow("Wine holds some") << true << true << 5;
    }
    void openAndClose()
    {
        QFETCH(bool, wine);
        QFETCH(bool, purges);
        QFETCH(int, driverCount);
        WinCalls::calls().underWine = wine;
        d.purges = purges;
        d.received = "stale";
        CommPort port;
        QVERIFY(openCom3(port));
        QCOMPARE(port.inBufferCount(), 0); // from before the open: gone
        d.received = "drive";
        d.lineErrors = CE_FRAME | CE_OVERRUN | CE_BREAK; // a break damages nothing
        QCOMPARE(port.input(), "drive");
        d.outQueue = DWORD(driverCount);
        port.close();
        // A purge Wine's terminal would take characters already sent with.
        QCOMPARE(d.purged.contains(PURGE_TXABORT | PURGE_TXCLEAR), !wine || driverCount > 0);
        QCOMPARE(port.discarded(), driverCount);
        QCOMPARE(port.lineErrors(), 2);
    }

    // The listing opens no port, so it cannot tell a held one; the open can.
    void listingSaysPresentTheOpenSaysBusy()
    {
        QStringList seen;
        for (const SerialPorts::ComPort &port : SerialPorts::list(QString()).comPorts)
            seen.append(SerialPorts::summary(port.device));
        QCOMPARE(seen.at(0), "\\\\.\\COM1, missing");
        QCOMPARE(seen.at(2), kCom3 + ", present, USB Serial Port (COM3)");
        QCOMPARE(seen.last(), "\\\\.\\COM12, present, Communications Port (COM12)");
        QCOMPARE(SerialPorts::adapterBuffer(kCom3), 256);
        QCOMPARE(SerialPorts::adapterBuffer("\\\\.\\COM12"), 0);
        QCOMPARE(d.opens, 0);
        d.openError = ERROR_ACCESS_DENIED; // serial drivers' word for a port in use
        CommPort port;
        QVERIFY(!openCom3(port));
        QCOMPARE(serialLinkErrorMessage(port).split('\r').at(1),
                 kCom3 + ", busy (held by another program), USB Serial Port (COM3)");
    }

    void settingsNamesComeBack_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("exists");
        QTest::newRow("the code page's own") << "caf\u00e9"
                                             << "a.jxf" << true;
        QTest::newRow("beyond it") << "\u041f\u0440\u0438\u0432\u0435\u0442"
                                   << "a.jxf" << true;
        QTest::newRow("a file beyond it") << "plain"
                                          << "\u65e5\u672c.jxf" << true;
        QTest::newRow("not made yet") << "\u65e5\u672c"
                                      << "a.jxf" << false;
    }
    void settingsNamesComeBack()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        SettingsToSave values;
        values.directory = QDir::toNativeSeparators(dir.filePath(folder));
        values.fileName = values.directory + '\\' + file;
        QFile made(values.fileName);
        QVERIFY(!exists || (QDir().mkpath(values.directory) && made.open(QIODevice::WriteOnly)));
        const QByteArray bytes = SettingsFile::compose(values);
        QCOMPARE(bytes.count("\r\n"), 5);
        const QByteArray asEver = values.fileName.toLocal8Bit(); // where the code page holds it
        QCOMPARE(bytes.contains(asEver + "\r\n"),
                 QString::fromLocal8Bit(asEver) == values.fileName);
        const StoredSettings stored = SettingsFile::parse(bytes);
        QCOMPARE(*stored.fileName, values.fileName);
        QCOMPARE(*stored.directory, values.directory);
    }

    // The parent here, which switched Ctrl-C off for itself and so for the
    // command; test-wine.sh sends the Ctrl-C, as SIGINT to the command's Wine
    // process, once the command waits for the drive.
    void ctrlCWhereTheParentSwitchedItOff()
    {
        const QString cli = qEnvironmentVariable("QUILLET_CLI");
        const QString file = qEnvironmentVariable("QUILLET_CTRL_C_FILE");
        if (cli.isEmpty() || file.isEmpty())
            QSKIP("run by test-wine.sh, which sends the Ctrl-C");
        ::SetConsoleCtrlHandler(nullptr, TRUE);
        QProcess command;
        command.start(cli,
                      {"receive", file, "--port", qEnvironmentVariable("QUILLET_SILENT_PORT")});
        QVERIFY(command.waitForFinished(90000));
        QCOMPARE(command.exitCode(), 130);
    }
};

QTEST_GUILESS_MAIN(TstWinPort)
#include "tst_winport.moc"
