// A line that pauses, holds the PC back or never says it is done, through the
// real windows over a real pseudo-terminal: what the user sees, what the files
// hold, and that a long receive does not grow the program.
#include "common/procstats.h"
#include "common/wizardfixture.h"
#include "transfer/transferloop.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTimer>

#include <unistd.h>

using namespace Wizard;

// Freed memory is otherwise held back by AddressSanitizer for reuse checks
// (256 MB by default), which would hide whether a receive keeps what it reads.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=4";
}

namespace {

const QString kComplete = QStringLiteral("File Transfer complete.");
const QString kInProgress = QStringLiteral("File Transfer in progress.");
const QString kRetrying = QStringLiteral("Nothing to recieve... Retrying");
const QString kTimeout = QStringLiteral("Timeout on Coms. No data to recieve");

} // namespace

class TestReliabilityLine : public QObject, public WizardFixture
{
    Q_OBJECT

private:
private Q_SLOTS:
    void initTestCase() { setUpSuite(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The receive loop calls the line silent after about 1.5 s without a
    // character, pauses 2 s, and gives up after about 1 s more.
    void silenceInTheMiddleOfAReceive_data()
    {
        QTest::addColumn<QString>("silence");
        QTest::addColumn<bool>("retryShown");
        QTest::addColumn<bool>("completes");
        QTest::newRow("1 s") << "1000" << false << true;
        QTest::newRow("3 s") << "3000" << true << true;
        QTest::newRow("for good") << "-1" << true << false;
    }
    void silenceInTheMiddleOfAReceive()
    {
        QFETCH(QString, silence);
        QFETCH(bool, retryShown);
        QFETCH(bool, completes);
        constexpr int kBefore = 3000;
        // 15,180 characters: after a 3 s silence the rest takes over a second, many
        // of page 3's frames, so the status the line's return brings back is seen.
        const QByteArray dump = everyCarriedByte(60);
        QVERIFY(writeFile(path("drive.txt"), dump));
        QVERIFY(startSim({"--baud", "57600", "--transmit", path("drive.txt"), "--silence",
                          silence + ',' + QString::number(kBefore)}));
        QStringList seen;
        const auto look = [&seen] {
            if (Forms::isLoaded(Form::Main3) && (seen.isEmpty() || seen.last() != status()))
                seen.append(status());
        };
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, look);
        watch.start(20);
        QFile::remove(path("received.mmi")); // a row before left it: no replace question
        next(0, path("received.mmi"));
        QVERIFY(waitForReceive(30000));
        watch.stop();
        look();
        QCOMPARE(seen.contains(kRetrying), retryShown);
        const QByteArray received = readFile(path("received.mmi"));
        if (completes) {
            // Any retry was followed by the line coming back, and the end.
            QCOMPARE(m_messages->texts(), QStringList());
            QCOMPARE(status(), kComplete);
            if (retryShown)
                QCOMPARE(seen.mid(seen.indexOf(kRetrying)),
                         (QStringList{kRetrying, kInProgress, kComplete}));
            QCOMPARE(received, dump + '\x1a');
        } else {
            QCOMPARE(m_messages->texts(), QStringList{kTimeout});
            QCOMPARE(m_messages->shown.first().icon, MsgBox::Icon::None);
            QCOMPARE(status(), kTimeout);
            // What arrived is kept, marked as ended, and counted.
            QCOMPARE(received, dump.left(kBefore) + '\x1a');
            QCOMPARE(transferSession().state().lByteCount, kBefore);
        }
    }

    // Ten seconds of XOFF: the send waits, the window keeps answering, and
    // the drive gets every character once.
    void driveHoldsXoffForTenSeconds()
    {
        const QByteArray file = everyCarriedByte(kPastThePtyBuffer) + "\r\n:00000001FF\r\n";
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--receive", path("drive.jxf"), "--xoff-hold", "2000,10000"}));
        QVERIFY(nextSendingAnyway(path("params.jxf")));
        // Timer events that find the drive holding XOFF: a send that stopped handling
        // window events until XON would let one through at most, at the hold's start.
        int ticksWhileHeld = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            const QStringList flow = m_sim->lines().filter(QRegularExpression("^XO(N|FF)$"));
            if (!flow.isEmpty() && flow.last() == "XOFF")
                ++ticksWhileHeld;
        });
        tick.start(100);
        QElapsedTimer timer;
        timer.start();
        button(frmMain2(), "Next")->click();
        const qint64 elapsed = timer.elapsed();
        QVERIFY(m_messages->shown.isEmpty());
        QCOMPARE(status(), kComplete);
        QCOMPARE(transferSession().state().lByteCount, qint32(file.size()));
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        // The PC stopped when told: nothing came that a drive's UART would have lost.
        QCOMPARE(m_sim->said("OVERRUN"), QStringList{"0"});
        QCOMPARE(readFile(path("drive.jxf")), file);
        QVERIFY2(elapsed >= 9900, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticksWhileHeld > 1, qPrintable(QString::number(ticksWhileHeld)));
    }

    // A disk that fills up in the middle of a receive: the user is told, and
    // the file holds what fitted, a true beginning of what the drive sent.
    void receiveFillsASmallDisk()
    {
        if (::getuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        QTemporaryDir mountPoint;
        const QString point = mountPoint.path();
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", point}) != 0)
            QSKIP("no tmpfs can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {point}); });
        const QByteArray dump = everyCarriedByte(800); // about 200 KB
        QVERIFY(writeFile(path("drive.txt"), dump));
        QVERIFY(startSim({"--baud", "0", "--transmit", path("drive.txt")}));
        const QString target = point + "/received.mmi";
        next(0, target);
        QVERIFY(waitForReceive(30000));
        QCOMPARE(m_messages->texts(),
                 QStringList{transferFaultMessage(TransferFault::FileWriteFailed)});
        QCOMPARE(m_messages->shown.first().icon, MsgBox::Icon::Critical);
        QCOMPARE(status(), QStringLiteral("File Transfer stopped."));
        QVERIFY(!transferSession().portOpen());
        const QByteArray kept = readFile(target);
        QVERIFY2(kept.size() > 32 * 1024 && kept.size() <= 64 * 1024,
                 qPrintable(QString::number(kept.size())));
        QCOMPARE(kept, dump.left(kept.size()));
        QVERIFY(transferSession().state().lByteCount <= kept.size());
    }

    // 10 MB with no end of data: everything is stored and counted, the time-out
    // ends it, and memory does not grow with what passed through.
    void tenMegabytesWithoutEndOfData()
    {
        constexpr qint32 kSize = 10 * 1024 * 1024;
        constexpr qint32 kSettled = 1024 * 1024;
        constexpr qint64 kGrowthAllowedKb = 4 * 1024; // holding what passed would be 9 MB
        QByteArray dump = everyCarriedByte(kSize / 253 + 1);
        dump.truncate(kSize);
        QVERIFY(writeFile(path("drive.txt"), dump));
        QVERIFY(startSim({"--no-eof", "--transmit", path("drive.txt")}));
        qint64 settledKb = -1;
        qint64 peakKb = -1;
        QTimer sample;
        connect(&sample, &QTimer::timeout, this, [&] {
            if (transferSession().state().lByteCount < kSettled)
                return;
            const qint64 kb = ProcStats::residentKb();
            if (settledKb < 0)
                settledKb = kb;
            peakKb = qMax(peakKb, kb);
        });
        sample.start(20);
        QFile::remove(path("received.mmi"));
        next(0, path("received.mmi"));
        QVERIFY(waitForReceive(240000));
        sample.stop();
        qInfo("resident memory at 1 MB: %lld kB, highest after: %lld kB", settledKb, peakKb);
        QVERIFY(settledKb > 0);
        QVERIFY2(peakKb - settledKb < kGrowthAllowedKb,
                 qPrintable(QString::number(peakKb - settledKb)));

        QCOMPARE(m_messages->texts(), QStringList{kTimeout});
        const TransferState &state = transferSession().state();
        QCOMPARE(state.lByteCount, kSize);
        // Raised past the count as it grew, by at most its margin of 1000.
        QVERIFY(state.lFileSize >= kSize && state.lFileSize <= kSize + 1000);
        QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" %1").arg(kSize));
        QCOMPARE(pageText(frmMain3(), "lblPercent"), QStringLiteral(" 100%"));
        // The stored file: every character, then the end mark of the time-out.
        QCOMPARE(readFile(path("received.mmi")), dump + '\x1a');
    }
};

QTEST_MAIN(TestReliabilityLine)
#include "tst_reliabilityline.moc"
