#include "common/fakeclock.h"
#include "common/fakeport.h"
#include "common/fakeview.h"
#include "common/procstats.h"
#include "transfer/systemclock.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"
#include "transfer/transferstate.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <limits>
#include <optional>
#include <thread>

namespace {

constexpr char kEnd = 26;

// One transfer's world: the state, a fake line, a real file, page 3 and time.
struct Rig
{
    QTemporaryDir dir;
    TransferState state;
    FakePort port;
    TransferFile file;
    FakeView view;
    FakeClock clock;
    TransferOutcome outcome = TransferOutcome::NotRun;
    TransferFault fault = TransferFault::None;
    qint64 lineErrors = 0;

    Rig()
    {
        port.clock = &clock;
        port.log = &view.calls;
    }
    QString path() const { return dir.filePath(QStringLiteral("transfer.jxf")); }

    // A file to send, opened at its first character, as page 1 leaves it.
    void prepareSend(const QByteArray &content, qint32 fileSize = -1)
    {
        QFile out(path());
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(content), content.size());
        out.close();
        QVERIFY(file.openForReading(path()));
        state.iTransferType = TransferType::kJxfToDrive;
        state.lFileSize = fileSize < 0 ? qint32(content.size()) : fileSize;
    }
    // A device as fileName stands for a disk that fails or never fills; page
    // 1 refuses to receive into one, so it is opened here directly.
    void prepareReceive(qint16 type, const QString &fileName = QString())
    {
        state.iTransferType = type;
        state.sFileName = path();
        QCOMPARE(openTransferFile(state, file), OpenFileResult::Ok);
        if (!fileName.isEmpty())
            QVERIFY(file.create(fileName));
    }
    // What page 3's Cancel does inside a pump.
    void cancelNow()
    {
        state.bAbortTransfer = true;
        closeTransferFile(file);
        port.close();
    }
    void cancelAtPump(int wanted)
    {
        clock.onPump = [this, wanted](int pump) {
            if (pump == wanted)
                cancelNow();
        };
    }
    // The first event at or after at seconds on the clock.
    void cancelAt(double at)
    {
        clock.onPump = [this, at](int) {
            if (clock.now >= at && port.isOpen)
                cancelNow();
        };
    }
    void run()
    {
        TransferLoop loop(state, port, file, view, clock);
        const RunResult result = loop.run();
        outcome = result.outcome;
        fault = result.fault;
        lineErrors = result.lineErrors;
    }
    QByteArray stored() const
    {
        QFile in(path());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(unreadable)");
    }
};

QByteArray pattern(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(char('A' + i % 26));
    return data;
}

// Page 3 as every run leaves it.
void verifyEndState(const Rig &rig)
{
    QVERIFY(!rig.state.bTransferActive);
    QVERIFY(rig.view.backEnabled);
    QVERIFY(rig.view.reportEnabled);
    QCOMPARE(rig.view.finishCaption, TransferText::kFinishCaption);
    QVERIFY(!rig.port.isOpen);
    QVERIFY(!rig.file.isOpen());
    QCOMPARE(rig.port.usedWhileClosed, 0);
}

} // namespace

Q_DECLARE_METATYPE(TransferOutcome)
Q_DECLARE_METATYPE(TransferFault)
Q_DECLARE_METATYPE(LinePort::Wake)

class TestTransferLoop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startOfRunUpdatesPageInOrder();
    void send_data();
    void send();
    void sendShowsRoundedPercentages();
    void percent_data();
    void percent();
    void receiveCountsUpToTheEndOfData_data();
    void receiveCountsUpToTheEndOfData();
    void receiveRaisesExpectedSize_data();
    void receiveRaisesExpectedSize();
    void silentLineTimesOut();
    void silenceIsMeasuredInTime_data();
    void silenceIsMeasuredInTime();
    void blockAfterRetryRestoresStatus();
    void pacedLineIsReadInGatheredBlocks();
    void eventsAreHandledWhileTheLoopWaits_data();
    void eventsAreHandledWhileTheLoopWaits();
    void cancelInThePauseEndsTheRunAtOnce();
    void cancelKeepsWhatIsHeldBack();
    void cancel_data();
    void cancel();
    void queueFollowsTheLine();
    void faults_data();
    void faults();
    void portLostWhileWaitingLong_data();
    void portLostWhileWaitingLong();
    void lineErrorsOfAReceive_data();
    void lineErrorsOfAReceive();
    void pauseHandlesEventsForItsSeconds();
    void waitEndsWithTheEventThatReadiesIt();
};

void TestTransferLoop::startOfRunUpdatesPageInOrder()
{
    Rig rig;
    rig.prepareSend("AB");
    rig.state.lByteCount = 99;
    rig.state.bAbortTransfer = true;
    rig.run();
    const QStringList expected{QStringLiteral("status=File Transfer in progress."),
                               QStringLiteral("back=0"),
                               QStringLiteral("finish=Cancel"),
                               QStringLiteral("report=0"),
                               QStringLiteral("repaintPage"),
                               QStringLiteral("progress=50")};
    QCOMPARE(rig.view.calls.mid(0, expected.size()), expected);
    QCOMPARE(rig.state.lByteCount, 2);
    QCOMPARE(rig.state.lFileSize, 2);
    // The report says when the run started, however long after it is viewed.
    QCOMPARE(rig.state.dtTransferStarted, rig.clock.wall);
}

void TestTransferLoop::send_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("fileSize");
    QTest::addColumn<QByteArray>("expectedSent");

    QByteArray everyValue;
    for (int c = 0; c < 256; ++c) {
        if (c != kEnd)
            everyValue.append(char(c));
    }
    QTest::newRow("whole file") << QByteArray("ABCDEFGH") << -1 << QByteArray("ABCDEFGH");
    QTest::newRow("every byte value but 26") << everyValue << -1 << everyValue;
    QTest::newRow("stops before end-of-data") << QByteArray("ABC\x1a"
                                                            "DEF")
                                              << -1 << QByteArray("ABC");
    QTest::newRow("end-of-data first") << QByteArray("\x1a"
                                                     "ABC")
                                       << -1 << QByteArray();
    QTest::newRow("stops at lFileSize") << QByteArray("ABCDEFGH") << 5 << QByteArray("ABCDE");
}

void TestTransferLoop::send()
{
    QFETCH(QByteArray, content);
    QFETCH(int, fileSize);
    QFETCH(QByteArray, expectedSent);

    Rig rig;
    rig.prepareSend(content, fileSize);
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Completed);
    QCOMPARE(rig.port.sent, expectedSent);
    QCOMPARE(rig.state.lByteCount, expectedSent.size());
    QCOMPARE(rig.view.status, TransferText::kComplete);
    QCOMPARE(rig.view.progress, 100);
    QCOMPARE(rig.view.percent, QStringLiteral("100%"));
    QVERIFY(!rig.state.bAbortTransfer);
    verifyEndState(rig);
    // The last character has left the PC before the page says so.
    QCOMPARE(rig.port.drains, 1);
    QVERIFY(!rig.port.drainedWithQueue);
    const qsizetype drained = rig.view.calls.indexOf(QStringLiteral("drain"));
    QVERIFY(drained >= 0);
    QVERIFY(drained < rig.view.calls.indexOf(QStringLiteral("status=File Transfer complete.")));
}

void TestTransferLoop::sendShowsRoundedPercentages()
{
    Rig rig;
    rig.prepareSend("12345678");
    rig.run();
    const QStringList percents{
        QStringLiteral(" 12%"), QStringLiteral(" 25%"),  QStringLiteral(" 38%"),
        QStringLiteral(" 50%"), QStringLiteral(" 62%"),  QStringLiteral(" 75%"),
        QStringLiteral(" 88%"), QStringLiteral(" 100%"), QStringLiteral("100%")};
    QCOMPARE(rig.view.callsOf(QStringLiteral("percent=")), percents);
    QCOMPARE(rig.view.callsOf(QStringLiteral("count=")).first(), QStringLiteral(" 1"));
    QCOMPARE(rig.view.callsOf(QStringLiteral("count=")).last(), QStringLiteral(" 8"));
    QCOMPARE(rig.view.callsOf(QStringLiteral("progress=")).first(), QStringLiteral("12"));
}

void TestTransferLoop::percent_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("expected");
    QTest::newRow("1 of 8, half down to even") << 1 << 8 << 12;
    QTest::newRow("3 of 8, half up to even") << 3 << 8 << 38;
    QTest::newRow("5 of 8") << 5 << 8 << 62;
    QTest::newRow("1 of 200") << 1 << 200 << 0;
    QTest::newRow("3 of 200") << 3 << 200 << 2;
    QTest::newRow("12,050 of 13,050") << 12050 << 13050 << 92;
    QTest::newRow("30,000 of 60,000") << 30000 << 60000 << 50;
    QTest::newRow("largest count") << 2147483647 << 2147483647 << 100;
}

void TestTransferLoop::percent()
{
    QFETCH(int, count);
    QFETCH(int, size);
    QFETCH(int, expected);
    QCOMPARE(int(transferPercent(count, size)), expected);
}

void TestTransferLoop::receiveCountsUpToTheEndOfData_data()
{
    QTest::addColumn<QByteArray>("last");
    QTest::addColumn<int>("count");
    QTest::newRow("characters around the end of data") << QByteArray("abc\x1a"
                                                                     "de")
                                                       << 103;
    QTest::newRow("the end of data alone") << QByteArray("\x1a") << 100;
}

void TestTransferLoop::receiveCountsUpToTheEndOfData()
{
    QFETCH(QByteArray, last);
    QFETCH(int, count);
    Rig rig;
    rig.prepareReceive(TransferType::kMmiDump);
    const QByteArray first = pattern(60);
    const QByteArray second = pattern(40);
    rig.port.addBlocks({first, second, last});
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Completed);
    QCOMPARE(rig.stored(), first + second + last);
    QCOMPARE(rig.state.lByteCount, count);
    QCOMPARE(rig.view.byteCount, QStringLiteral(" %1").arg(count));
    QCOMPARE(rig.view.status, TransferText::kComplete);
    QCOMPARE(rig.view.percent, QStringLiteral("100%"));
    verifyEndState(rig);
}

void TestTransferLoop::receiveRaisesExpectedSize_data()
{
    QTest::addColumn<qint16>("type");
    QTest::addColumn<QList<int>>("blocks");
    QTest::addColumn<QStringList>("progress");
    QTest::addColumn<int>("finalSize");
    QTest::newRow("JXF from 11,990 to 12,050")
        << TransferType::kJxfFromDrive << QList<int>{11990, 60}
        << QStringList{QStringLiteral("100"), QStringLiteral("92")} << 13050;
    QTest::newRow("MMI at 30,000") << TransferType::kMmiDump << QList<int>{30000}
                                   << QStringList{QStringLiteral("50")} << 60000;
}

void TestTransferLoop::receiveRaisesExpectedSize()
{
    QFETCH(qint16, type);
    QFETCH(QList<int>, blocks);
    QFETCH(QStringList, progress);
    QFETCH(int, finalSize);

    Rig rig;
    rig.prepareReceive(type);
    for (int size : blocks)
        rig.port.addBlocks({pattern(size)});
    rig.port.addBlocks({QByteArray(1, kEnd)});
    rig.run();

    QCOMPARE(rig.state.lFileSize, finalSize);
    // The block with the end of data (alone here) shows its count too.
    QCOMPARE(rig.view.callsOf(QStringLiteral("progress=")),
             progress << progress.last() << QStringLiteral("100"));
}

void TestTransferLoop::silentLineTimesOut()
{
    Rig rig;
    rig.prepareReceive(TransferType::kMmiDump);
    double retryAt = -1;
    double messageAt = -1;
    int readsInPause = 0;
    rig.view.onCall = [&](const QString &call) {
        if (call == QStringLiteral("status=") + TransferText::kRetrying && retryAt < 0)
            retryAt = rig.clock.now;
        if (call.startsWith(QStringLiteral("message=")))
            messageAt = rig.clock.now;
    };
    rig.clock.onPump = [&](int) {
        if (retryAt >= 0 && rig.clock.now < retryAt + 2.0 && rig.port.reads > 2)
            ++readsInPause;
    };
    rig.run();

    // 1.5 s of silence, the 2 s pause, then 1 s more: the line is read only
    // when the silence reaches a step, and not at all during the pause.
    QVERIFY2(retryAt > 1.5 && retryAt < 1.51, qPrintable(QString::number(retryAt)));
    QVERIFY2(messageAt > 4.5 && messageAt < 4.51, qPrintable(QString::number(messageAt)));
    QCOMPARE(readsInPause, 0);
    QCOMPARE(rig.port.reads, 3);
    QCOMPARE(rig.port.wake, LinePort::Wake::Failure);
    QCOMPARE(rig.view.messages, QStringList{TransferText::kTimeout});
    QCOMPARE(rig.view.messageCritical, QList<bool>{false});
    QCOMPARE(rig.view.callsOf(QStringLiteral("status=Nothing")).size(), 1);

    QCOMPARE(rig.outcome, TransferOutcome::TimedOut);
    QCOMPARE(rig.stored(), QByteArray(1, kEnd));
    QCOMPARE(rig.view.status, TransferText::kTimeout);
    QCOMPARE(rig.view.byteCount, QLatin1String(FakeView::kUnset));
    QCOMPARE(rig.view.percent, QLatin1String(FakeView::kUnset));
    QVERIFY(rig.state.bAbortTransfer);
    verifyEndState(rig);
}

// However long one step of a wait lasts (a millisecond here, a scheduler
// tick of 15.6 ms elsewhere), the steps of a silence come after the same time.
void TestTransferLoop::silenceIsMeasuredInTime_data()
{
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("silence");
    QTest::addColumn<bool>("retried");
    QTest::addColumn<TransferOutcome>("outcome");

    const auto completed = TransferOutcome::Completed;
    for (const double step : {0.001, 0.0156}) {
        const QByteArray tick = QByteArray::number(step * 1000) + " ms steps, ";
        QTest::newRow(tick + "1.4 s") << step << 1.4 << false << completed;
        QTest::newRow(tick + "1.6 s") << step << 1.6 << true << completed;
        QTest::newRow(tick + "4.4 s") << step << 4.4 << true << completed;
        QTest::newRow(tick + "4.6 s") << step << 4.6 << true << TransferOutcome::TimedOut;
    }
}

void TestTransferLoop::silenceIsMeasuredInTime()
{
    QFETCH(double, step);
    QFETCH(double, silence);
    QFETCH(bool, retried);
    QFETCH(TransferOutcome, outcome);

    Rig rig;
    rig.clock.step = step;
    rig.prepareReceive(TransferType::kMmiDump);
    rig.port.arrivals = {{0.0, "abc"}, {silence, QByteArray(1, kEnd)}};
    rig.run();

    QCOMPARE(rig.outcome, outcome);
    QCOMPARE(!rig.view.callsOf(QStringLiteral("status=Nothing")).isEmpty(), retried);
    QCOMPARE(rig.stored(), QByteArray("abc\x1a"));
}

void TestTransferLoop::blockAfterRetryRestoresStatus()
{
    Rig rig;
    rig.prepareReceive(TransferType::kMmiDump);
    // It comes during the pause, and 1.4 s more of silence after it are not
    // enough for the status again: the silence starts anew with each block.
    rig.port.arrivals = {{1.6, "abc"}, {3.5 + 1.4, QByteArray(1, kEnd)}};
    rig.run();

    QCOMPARE(rig.view.callsOf(QStringLiteral("status=")),
             QStringList({TransferText::kInProgress, TransferText::kRetrying,
                          TransferText::kInProgress, TransferText::kComplete}));
    QCOMPARE(rig.outcome, TransferOutcome::Completed);
    QCOMPARE(rig.stored(), QByteArray("abc\x1a"));
}

// A drive hands over two characters every 2 ms, as at 9600 baud, then falls
// silent. The loop lets them gather between reads, writes many reads in one
// go, and a window event never finds less than was counted in the file and
// what it holds back (a Cancel closes the file, which writes those).
void TestTransferLoop::pacedLineIsReadInGatheredBlocks()
{
    Rig rig;
    rig.prepareReceive(TransferType::kMmiDump);
    const QByteArray text = pattern(2000);
    for (int i = 0; i < text.size(); i += 2)
        rig.port.arrivals.append({i / 1000.0, text.mid(i, 2)});
    const double lastArrival = rig.port.arrivals.last().first;
    double retryAt = 0;
    rig.view.onCall = [&](const QString &call) {
        if (call == QStringLiteral("status=") + TransferText::kRetrying && retryAt == 0)
            retryAt = rig.clock.now;
    };
    // What a Cancel's close would keep: the file and what it holds back.
    int pumpsBeforeStored = 0;
    rig.clock.onPump = [&](int) {
        if (rig.stored().size() + rig.file.held() != rig.state.lByteCount)
            ++pumpsBeforeStored;
    };
    const qint64 writesBefore = ProcStats::field("/proc/self/io", "syscw:");
    rig.run();
    const qint64 writes = ProcStats::field("/proc/self/io", "syscw:") - writesBefore;

    QCOMPARE(pumpsBeforeStored, 0);
    QVERIFY2(writes * 2 < rig.port.lastDataRead, qPrintable(QString::number(writes)));
    QCOMPARE(rig.outcome, TransferOutcome::TimedOut);
    QCOMPARE(rig.stored(), text + kEnd);
    QCOMPARE(rig.state.lByteCount, text.size());
    QCOMPARE(rig.view.byteCount, QStringLiteral(" 2000"));
    // Blocks of many pieces, not a read for every piece.
    QVERIFY2(rig.port.lastDataRead * 5 < text.size() / 2,
             qPrintable(QString::number(rig.port.lastDataRead)));
    // No gathering lengthens the silence.
    QVERIFY2(retryAt - lastArrival > 1.5 && retryAt - lastArrival < 1.51,
             qPrintable(QString::number(retryAt - lastArrival)));
}

// An event that comes while the loop waits is handled then, before the
// characters that follow it on the line are read: while it waits for input,
// for room in the transmit queue, and in the pause.
void TestTransferLoop::eventsAreHandledWhileTheLoopWaits_data()
{
    QTest::addColumn<double>("eventAt");
    QTest::addColumn<LinePort::Wake>("wake"); // what the port was to wake on then
    QTest::newRow("for input") << 0.5 << LinePort::Wake::Input;
    QTest::newRow("in the pause") << 2.5 << LinePort::Wake::Failure;
    QTest::newRow("for room") << 0.2 << LinePort::Wake::Output;
}

void TestTransferLoop::eventsAreHandledWhileTheLoopWaits()
{
    QFETCH(double, eventAt);
    QFETCH(LinePort::Wake, wake);

    Rig rig;
    const bool sending = wake == LinePort::Wake::Output;
    if (sending) {
        rig.prepareSend(pattern(1000));
    } else {
        rig.prepareReceive(TransferType::kMmiDump);
        rig.port.arrivals = {{0.0, "abc"}, {eventAt + 0.01, QByteArray(1, kEnd)}};
    }
    double handledAt = -1;
    int readsBefore = -1;
    std::optional<LinePort::Wake> wakeThen;
    rig.clock.onPump = [&](int) {
        if (handledAt < 0 && rig.clock.now >= eventAt) {
            handledAt = rig.clock.now;
            readsBefore = rig.port.reads;
            wakeThen = rig.port.wake;
        }
    };
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Completed);
    QVERIFY2(handledAt >= eventAt && handledAt <= eventAt + rig.clock.step,
             qPrintable(QString::number(handledAt)));
    QCOMPARE(wakeThen, wake);
    if (!sending) {
        QCOMPARE(rig.stored(), QByteArray("abc\x1a"));
        QVERIFY(readsBefore < rig.port.lastDataRead);
    }
}

void TestTransferLoop::cancelInThePauseEndsTheRunAtOnce()
{
    Rig rig;
    rig.prepareReceive(TransferType::kMmiDump);
    rig.port.arrivals = {{0.0, "abc"}};
    rig.cancelAt(2.0);
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::CancelledWhileReceiving);
    QCOMPARE(rig.view.callsOf(QStringLiteral("status=Nothing")).size(), 1);
    // The pause would have lasted until 3.5 s.
    QVERIFY2(rig.clock.now < 2.01, qPrintable(QString::number(rig.clock.now)));
    QCOMPARE(rig.stored(), QByteArray("abc"));
    verifyEndState(rig);
}

// Blocks wait a moment to go to the disk together; a Cancel in between, whose
// close writes them, still keeps every character that was counted.
void TestTransferLoop::cancelKeepsWhatIsHeldBack()
{
    Rig rig;
    rig.prepareReceive(TransferType::kMmiDump);
    rig.port.arrivals = {{0.0, "abc"}, {0.06, "def"}, {0.12, "ghi"}};
    rig.cancelAt(0.13);
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::CancelledWhileReceiving);
    QCOMPARE(rig.state.lByteCount, 9);
    QCOMPARE(rig.stored(), QByteArray("abcdefghi"));
}

void TestTransferLoop::cancel_data()
{
    QTest::addColumn<bool>("sending");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("xoff");
    QTest::addColumn<int>("heldInDevice");
    QTest::addColumn<int>("pump");
    QTest::addColumn<TransferOutcome>("outcome");
    QTest::addColumn<int>("count"); // -1: some, but not all

    // Time passes only while the loop waits, so what a send handed over
    // before its first wait sits in the queue that the cancel discards.
    const QByteArray eight("ABCDEFGH");
    const auto sent = TransferOutcome::CancelledWhileSending;
    QTest::newRow("while sending") << true << eight << false << 0 << 3 << sent << 0;
    QTest::newRow("in the pump of the last send pass")
        << true << QByteArray("ABC") << false << 0 << 4 << sent << 0;
    QTest::newRow("while the line moves")
        << true << pattern(600) << false << 0 << 560 << sent << -1;
    QTest::newRow("while the queue is full under XOFF")
        << true << pattern(600) << true << 0 << 700 << sent << 0;
    QTest::newRow("while draining under XOFF")
        << true << QByteArray("ABC") << true << 0 << 6 << sent << 0;
    // 8 pumps for 8 characters, one for the last pass, about 9 while the
    // queue empties at 960 characters a second, then the drain's.
    QTest::newRow("while the device holds the last characters")
        << true << eight << false << 3 << 40 << sent << 5;
    QTest::newRow("while receiving")
        << false << eight << false << 0 << 1 << TransferOutcome::CancelledWhileReceiving << 8;
}

void TestTransferLoop::cancel()
{
    QFETCH(bool, sending);
    QFETCH(QByteArray, content);
    QFETCH(int, heldInDevice);
    QFETCH(TransferOutcome, outcome);
    QFETCH(int, count);

    Rig rig;
    if (sending) {
        rig.prepareSend(content);
    } else {
        rig.prepareReceive(TransferType::kMmiDump);
        rig.port.addBlocks({content, content});
    }
    QFETCH(bool, xoff);
    QFETCH(int, pump);
    rig.port.xoff = xoff;
    rig.port.heldInDevice = heldInDevice;
    rig.cancelAtPump(pump);
    rig.run();

    QCOMPARE(rig.outcome, outcome);
    QCOMPARE(rig.view.status, TransferText::kAborted);
    if (count >= 0)
        QCOMPARE(rig.state.lByteCount, count);
    // Only a cancel while sending clears the flag.
    QCOMPARE(rig.state.bAbortTransfer, !sending);
    QVERIFY(!rig.port.overflowed);
    QCOMPARE(rig.port.drains > 0, heldInDevice > 0);
    verifyEndState(rig);
    if (sending) {
        // The count, and page 3, say what reached the drive, not what the
        // close threw away.
        QCOMPARE(rig.state.lByteCount, qint32(rig.port.sent.size()));
        QVERIFY(content.startsWith(rig.port.sent));
        if (count < 0)
            QVERIFY(rig.state.lByteCount > 0 && rig.state.lByteCount < content.size());
    } else {
        QCOMPARE(rig.stored(), content);
    }
    if (rig.view.byteCount != QLatin1String(FakeView::kUnset))
        QCOMPARE(rig.view.byteCount, QStringLiteral(" %1").arg(rig.state.lByteCount));
}

void TestTransferLoop::queueFollowsTheLine()
{
    Rig rig;
    const QByteArray content = pattern(2000);
    rig.prepareSend(content);
    rig.port.charsPerSecond = 300;
    qint64 furthestAhead = 0;
    rig.view.onCall = [&](const QString &call) {
        if (call.startsWith(QStringLiteral("count=")))
            furthestAhead =
                std::max<qint64>(furthestAhead, rig.state.lByteCount - rig.port.sent.size());
    };
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Completed);
    QCOMPARE(rig.port.sent, content);
    QCOMPARE(rig.port.maxQueued, 512);
    QVERIFY(!rig.port.overflowed);
    QCOMPARE(furthestAhead, 512);
    QVERIFY(!rig.port.drainedWithQueue);
}

void TestTransferLoop::faults_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<TransferFault>("fault");
    QTest::addColumn<qint32>("count");

    // -1: the characters that reached the drive.
    QTest::newRow("port lost while sending")
        << QStringLiteral("lose port sending") << TransferFault::PortFailed << -1;
    QTest::newRow("port lost while receiving")
        << QStringLiteral("lose port receiving") << TransferFault::PortFailed << 6;
    QTest::newRow("disk full") << QStringLiteral("disk full") << TransferFault::FileWriteFailed
                               << 0;
    QTest::newRow("file shrank") << QStringLiteral("shrink") << TransferFault::FileShorter << -1;
    QTest::newRow("count past 32 bits")
        << QStringLiteral("overflow") << TransferFault::CountOverflow << 2047 * 1024 * 1024;
}

void TestTransferLoop::faults()
{
    QFETCH(QString, setup);
    QFETCH(TransferFault, fault);
    QFETCH(qint32, count);

    Rig rig;
    // A short queue, so that the line has taken some of what was sent.
    rig.port.limit = 16;
    if (setup == u"lose port sending") {
        rig.prepareSend(pattern(300));
        rig.port.failAfterOutputs = 100;
    } else if (setup == u"lose port receiving") {
        rig.prepareReceive(TransferType::kMmiDump);
        rig.port.addBlocks({"abc", "def"});
        rig.port.failWhenArrivalsEnd = true;
    } else if (setup == u"disk full") {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        rig.prepareReceive(TransferType::kMmiDump, QStringLiteral("/dev/full"));
        rig.port.addBlocks({"abc"});
    } else if (setup == u"shrink") {
        rig.prepareSend(pattern(100));
        QVERIFY(QFile::resize(rig.path(), 40));
    } else {
        rig.prepareReceive(TransferType::kMmiDump, QStringLiteral("/dev/null"));
        const QByteArray mebibyte(1024 * 1024, 'x');
        rig.port.addBlocks(QList<QByteArray>(2048, mebibyte), 0.025);
    }
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Failed);
    QCOMPARE(rig.fault, fault);
    QCOMPARE(rig.view.messages, QStringList{transferFaultMessage(fault)});
    QCOMPARE(rig.view.messageCritical, QList<bool>{true});
    QCOMPARE(rig.state.lByteCount, count < 0 ? qint32(rig.port.sent.size()) : count);
    QCOMPARE(rig.view.status, TransferText::kStopped);
    QVERIFY(!rig.view.calls.contains(QStringLiteral("status=File Transfer complete.")));
    QVERIFY(rig.state.bAbortTransfer);
    verifyEndState(rig);
    if (setup == u"lose port receiving")
        QCOMPARE(rig.stored(), QByteArray("abcdef"));
    if (count < 0) {
        // What the close discarded is not counted.
        QCOMPARE(rig.port.outputs, setup == u"shrink" ? 40 : 100);
        QVERIFY(rig.port.sent.size() > 0 && rig.port.sent.size() < rig.port.outputs);
    }
}

// A device that goes while the loop waits long, which nothing but a look at
// it tells: the run stops as on any lost port, long before the user's Cancel
// a second later, having looked a few times a second, not for every
// character or step of the wait.
void TestTransferLoop::portLostWhileWaitingLong_data()
{
    QTest::addColumn<bool>("sending");
    QTest::addColumn<bool>("xoff");
    QTest::addColumn<int>("heldInDevice");
    QTest::addColumn<double>("lostAt");
    QTest::newRow("in the final drain") << true << false << 3 << 1.0;
    QTest::newRow("for room under XOFF") << true << true << 0 << 1.0;
    QTest::newRow("in the pause") << false << false << 0 << 2.0;
}

void TestTransferLoop::portLostWhileWaitingLong()
{
    QFETCH(bool, sending);
    QFETCH(double, lostAt);
    Rig rig;
    if (sending) {
        rig.prepareSend(pattern(600));
    } else {
        rig.prepareReceive(TransferType::kMmiDump);
        rig.port.arrivals = {{0.0, "abc"}};
    }
    QFETCH(bool, xoff);
    QFETCH(int, heldInDevice);
    rig.port.xoff = xoff;
    rig.port.heldInDevice = heldInDevice;
    rig.port.lostAt = lostAt;
    rig.cancelAt(lostAt + 1.0);
    double messageAt = -1;
    rig.view.onCall = [&](const QString &call) {
        if (call.startsWith(QStringLiteral("message=")))
            messageAt = rig.clock.now;
    };
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Failed);
    QCOMPARE(rig.fault, TransferFault::PortFailed);
    QCOMPARE(rig.view.status, TransferText::kStopped);
    const double late = messageAt - lostAt;
    QVERIFY2(late >= 0 && late <= kLossLookMsecs / 1000.0 + 0.01,
             qPrintable(QString::number(late)));
    QVERIFY2(rig.port.looks <= messageAt * 4 + 2, qPrintable(QString::number(rig.port.looks)));
    verifyEndState(rig);
    if (!sending)
        QCOMPARE(rig.stored(), QByteArray("abc"));
}

// The count the port keeps of damaged characters comes with a receive's
// result, and the file keeps what arrived; a send has nothing to note.
void TestTransferLoop::lineErrorsOfAReceive_data()
{
    QTest::addColumn<bool>("sending");
    QTest::newRow("receive") << false;
    QTest::newRow("send") << true;
}

void TestTransferLoop::lineErrorsOfAReceive()
{
    QFETCH(bool, sending);
    Rig rig;
    if (sending)
        rig.prepareSend("AB");
    else
        rig.prepareReceive(TransferType::kMmiDump);
    rig.port.addBlocks({"abc\x1a"});
    rig.port.damaged = 12;
    rig.run();

    QCOMPARE(rig.outcome, TransferOutcome::Completed);
    QCOMPARE(rig.lineErrors, sending ? 0 : 12);
    QCOMPARE(rig.stored(), QByteArray(sending ? "AB" : "abc\x1a"));
    QVERIFY(lineErrorNote(1).startsWith(QStringLiteral("1 character was damaged on the line")));
}

// The program's own clock: a pause lasts its seconds with events handled
// all the while, and ends as soon as an event says stop.
void TestTransferLoop::pauseHandlesEventsForItsSeconds()
{
    SystemTransferClock clock;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(50);
    QElapsedTimer elapsed;
    elapsed.start();
    pause(clock, 1, [] { return false; });
    QVERIFY(elapsed.elapsed() >= 1000);
    QVERIFY(ticks > 0);

    // Without its stop the pause would last a day: the test would time out.
    bool stop = false;
    QTimer::singleShot(10, this, [&stop] { stop = true; });
    pause(clock, std::numeric_limits<qint16>::max(), [&stop] { return stop; });
    QVERIFY(stop);
}

// A wait of the program's clock ends as soon as an event, here one posted
// from another thread, makes what it waits for true; it has no time limit.
void TestTransferLoop::waitEndsWithTheEventThatReadiesIt()
{
    SystemTransferClock clock;
    std::atomic<bool> ready = false;
    QObject receiver;
    std::thread poster([&] {
        QMetaObject::invokeMethod(
            &receiver, [&ready] { ready = true; }, Qt::QueuedConnection);
    });
    clock.waitForEvents(-1, [&ready] { return ready.load(); });
    poster.join();
    QVERIFY(ready);
}

QTEST_GUILESS_MAIN(TestTransferLoop)
#include "tst_transferloop.moc"
