// The serial port's batched writes over a real pseudo-terminal: characters
// handed over one at a time reach the line whole and in order, and while any
// are held they count as queued, so a drain never comes too early.
#include "common/procstats.h"
#include "common/pty.h"
#include "transfer/commport.h"
#include "transfer/seriallink.h"
#include "transfer/systemclock.h"
#include "transfer/transferchoices.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kPatience = Pty::kPatience;

QByteArray pattern(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(char('A' + i % 26));
    return data;
}

} // namespace

class TestOutputBatch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    bool open(CommPort &port, const Pty &pty)
    {
        TransferChoices com1;
        com1.portNumber = 1;
        com1.baudRate = 57600;
        return linkCom(m_folder.path(), 1, pty.slave()) && ::openCommPort(port, com1);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir(m_folder.path()).mkpath(QStringLiteral("dosdevices")));
        qputenv("windir", m_folder.path().toLocal8Bit());
    }

    void charactersOneAtATimeArriveWholeAndInOrder_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("fewer than a batch") << 5;
        QTest::newRow("many batches and a rest") << 1000;
    }
    void charactersOneAtATimeArriveWholeAndInOrder()
    {
        QFETCH(int, size);
        Pty pty;
        CommPort port;
        QVERIFY(open(port, pty));
        const QByteArray data = pattern(size);
        for (char c : data)
            QVERIFY(port.output(QByteArray(1, c)));
        // Whatever is held back still counts as queued, however long the
        // pseudo-terminal takes to hand the written ones to its other end.
        QTRY_COMPARE_WITH_TIMEOUT(port.queuedOutput() + pty.waiting(), qint64(size), kPatience);
        // Waiting for room hands the rest over, and the drain's end wakes the wait.
        SystemTransferClock clock;
        port.wakeOn(LinePort::Wake::Output);
        clock.waitForEvents(-1, [&port] { return port.queuedOutput() == 0; });
        LinePort::DrainStatus drained = LinePort::DrainStatus::Pending;
        clock.waitForEvents(-1, [&] {
            drained = port.drain();
            return drained != LinePort::DrainStatus::Pending;
        });
        QCOMPARE(drained, LinePort::DrainStatus::Done);
        QCOMPARE(pty.receive(size), data);
    }

    void drainRefusesWhileCharactersAreHeld()
    {
        Pty pty;
        CommPort port;
        QVERIFY(open(port, pty));
        QVERIFY(port.output("a"));
        QVERIFY(port.output("b"));
        if (port.queuedOutput() == 0)
            QSKIP("the machine paused between the two characters: nothing was held");
        QCOMPARE(port.drain(), LinePort::DrainStatus::Failed);
        QVERIFY(!port.failed());
    }

    void oneCharacterAfterAQuietSpellGoesOutAtOnce()
    {
        Pty pty;
        CommPort port;
        QVERIFY(open(port, pty));
        QVERIFY(port.output("x"));
        QTest::qSleep(5);
        QVERIFY(port.output("y"));
        // No wait and no drain: the line has both.
        QCOMPARE(pty.receive(2), QByteArray("xy"));
    }

    // A full device (or a drive holding XOFF): what is handed over meanwhile
    // waits without a write call for each character, and goes out in order
    // once the device takes characters again.
    void fullDeviceIsNotAskedForEachCharacter()
    {
        Pty pty;
        CommPort port;
        QVERIFY(open(port, pty));
        // Nobody reads the line, so the device fills up.
        QByteArray sent;
        for (int i = 0; i < 256 && port.queuedOutput() == 0; ++i) {
            const QByteArray chunk = pattern(4096);
            QVERIFY(port.output(chunk));
            sent += chunk;
        }
        QVERIFY(port.queuedOutput() > 0);
        const qint64 writes = ProcStats::field("/proc/self/io", "syscw:");
        for (int i = 0; i < 100; ++i) {
            QVERIFY(port.output("x"));
            sent += 'x';
        }
        QCOMPARE(ProcStats::field("/proc/self/io", "syscw:"), writes);
        // Each time the drive's end reads, the device takes more, and the
        // port hears of it through the event loop.
        QByteArray arrived;
        SystemTransferClock clock;
        port.wakeOn(LinePort::Wake::Output);
        while (arrived.size() < sent.size()) {
            const QByteArray got = pty.receive(1);
            if (got.isEmpty())
                break;
            arrived += got;
            clock.waitForEvents(10, [&port] { return port.queuedOutput() == 0; });
        }
        QCOMPARE(arrived, sent);
    }
};

QTEST_GUILESS_MAIN(TestOutputBatch)
#include "tst_outputbatch.moc"
