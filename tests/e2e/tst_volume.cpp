// Integrity at volume: random text from the drive and a parameter file of
// random data to it, through the paced simulated drive at 57600 baud, three
// rounds in one session with page 3's Back between, the ends compared by
// SHA-256, and the count, the labels and the report checked after every run.
// QUILLET_VOLUME_BYTES sets the volume (1 MiB by default).
#include "common/hexfile.h"
#include "common/wizard.h"
#include "ui/frmreport.h"
#include "ui/reportbox.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

using namespace Wizard;

namespace {

constexpr int kRounds = 3;
constexpr qint64 kDefaultVolume = 1024 * 1024;
constexpr int kBaudIndex = 8; // 57600
constexpr int kLineLength = 78;
const QByteArray kRule = QByteArray(50, '-') + "\r\n";

qint64 volume()
{
    bool ok = false;
    const qint64 bytes = qEnvironmentVariableIntValue("QUILLET_VOLUME_BYTES", &ok);
    return ok && bytes > 0 ? bytes : kDefaultVolume;
}

// Printable ASCII in lines that end in CR LF, different every time, as a
// drive's dump is. No ':', so that no line reads as a parameter record.
QByteArray randomText(qint64 size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray text;
    text.reserve(size);
    while (text.size() < size) {
        if (text.size() % (kLineLength + 2) == kLineLength) {
            text.append("\r\n");
            continue;
        }
        const char c = char(random.bounded(32, 127));
        text.append(c == ':' ? ';' : c);
    }
    text.truncate(size);
    return text;
}

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The transfer file as the report window shows it: what stands between the
// two rules.
QByteArray reportBody()
{
    const QByteArray report = frmReport().txtReport()->reportText().toLatin1();
    const qsizetype start = report.indexOf(kRule) + kRule.size();
    const qsizetype end = report.lastIndexOf("\r\n" + kRule);
    return start >= kRule.size() && end >= start ? report.mid(start, end - start) : "<no rules>";
}

} // namespace

class TestVolume : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_windir;
    DriveSimProcess m_sim;
    MessageRecorder m_messages;

    QString path(const char *name) const { return m_windir.filePath(QString::fromLatin1(name)); }

    // The report of the run just ended shows exactly expected.
    void checkReport(const QByteArray &expected)
    {
        button(frmMain3(), "Report")->click();
        QVERIFY(frmReport().isVisible());
        QCOMPARE(sha256(reportBody()), sha256(expected));
        frmReport().close();
    }
    void receiveRound(int round);
    void sendRound(int round);

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_windir.isValid());
        qputenv("windir", m_windir.path().toLocal8Bit());
        QVERIFY2(!qEnvironmentVariable("QUILLET_DRIVESIM").isEmpty(), "run through ctest");
        QVERIFY(m_sim.start(m_windir.path(), {"--baud", "57600", "--idle"}));
        qInfo("volume: %lld characters each way, %d rounds", volume(), kRounds);
    }
    void cleanupTestCase()
    {
        unloadAllWindows();
        QVERIFY2(noWindowLeft(), "a window was left loaded");
    }

    // One row for each run, in order, in the one session: each run starts
    // from page 1 as the Back of the run before left it.
    void threeRoundsEachWay_data()
    {
        QTest::addColumn<int>("round");
        QTest::addColumn<bool>("send");
        for (int round = 1; round <= kRounds; ++round) {
            QTest::addRow("round %d, drive to PC", round) << round << false;
            QTest::addRow("round %d, PC to drive", round) << round << true;
        }
    }
    void threeRoundsEachWay()
    {
        QFETCH(int, round);
        QFETCH(bool, send);
        if (send)
            sendRound(round);
        else
            receiveRound(round);
        QCOMPARE(m_messages.texts(), QStringList());
    }
};

void TestVolume::receiveRound(int round)
{
    const QByteArray text = randomText(volume(), quint32(2 * round));
    QVERIFY(writeFile(path("drive.txt"), text));
    m_sim.forgetLines();
    m_sim.command("transmit " + path("drive.txt"));
    QVERIFY(m_sim.waitFor("OK transmit", 5000));
    QFile::remove(path("received.mmi")); // the round before left it: no replace question
    next(0, path("received.mmi"), kBaudIndex);
    QVERIFY(frmMain2().isVisible());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(waitForReceive(int(volume() * 10 * 1000 / 57600) * 2 + 30000));
    qInfo("round %d, drive to PC: %.1f s", round, timer.elapsed() / 1000.0);

    QCOMPARE(status(), QStringLiteral("File Transfer complete."));
    const QByteArray received = readFile(path("received.mmi"));
    QCOMPARE(sha256(received.chopped(1)), sha256(text));
    QCOMPARE(received.back(), '\x1a');
    // Every character before the end of data is counted.
    const qint32 count = transferSession().state().lByteCount;
    QCOMPARE(count, text.size());
    QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" %1").arg(count));
    QCOMPARE(pageText(frmMain3(), "lblPercent"), QStringLiteral("100%"));
    // Raised past the count, by at most its margin, once the count passed 60000.
    const qint32 size = transferSession().state().lFileSize;
    QVERIFY2(size >= count && size <= qMax<qint32>(60000, count + 1000),
             qPrintable(QString::number(size)));
    checkReport(received);
    button(frmMain3(), "Back")->click();
    QVERIFY(frmMain1().isVisible());
    QVERIFY(m_sim.waitFor("CLOSED", 5000));
}

void TestVolume::sendRound(int round)
{
    // A sound parameter file of random data, so that the send is not questioned.
    QRandomGenerator random(quint32(2 * round + 1));
    const QByteArray file = parameterFile(volume(), &random);
    QVERIFY(writeFile(path("params.jxf"), file));
    m_sim.forgetLines();
    m_sim.command("receive " + path("drive.jxf"));
    QVERIFY(m_sim.waitFor("OK receive", 5000));
    next(2, path("params.jxf"), kBaudIndex);
    QVERIFY(frmMain2().isVisible());
    QElapsedTimer timer;
    timer.start();
    button(frmMain2(), "Next")->click(); // returns when the run has ended
    qInfo("round %d, PC to drive: %.1f s", round, timer.elapsed() / 1000.0);

    QCOMPARE(status(), QStringLiteral("File Transfer complete."));
    QCOMPARE(transferSession().state().lByteCount, qint32(file.size()));
    QCOMPARE(pageText(frmMain3(), "lblByteCount"), QStringLiteral(" %1").arg(file.size()));
    QCOMPARE(pageText(frmMain3(), "lblPercent"), QStringLiteral("100%"));
    QVERIFY(m_sim.waitFor("CLOSED", 10000));
    QCOMPARE(sha256(readFile(path("drive.jxf"))), sha256(file));
    checkReport(file);
    button(frmMain3(), "Back")->click();
    QVERIFY(frmMain1().isVisible());
}

QTEST_MAIN(TestVolume)
#include "tst_volume.moc"
