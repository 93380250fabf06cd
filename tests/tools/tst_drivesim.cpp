// Drives the simulated drive the way the program does: the simulator runs as its own process
// and the test opens its COM link with QSerialPort.

#include "commandinterpreter.h"
#include "drive.h"
#include "ratemismatch.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <csignal>
#include <poll.h>
#include <unistd.h>

using namespace drivesim;

namespace {

constexpr int kEventTimeoutMs = 5000;
constexpr double kPacingSlack = 0.8;
constexpr char kCtrlZ = 26;

QString sample(const char *name)
{
    return QStringLiteral(DRIVESIM_SAMPLES_DIR "/") + QLatin1String(name);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList argList(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list.append(QLatin1String(item));
    return list;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

// The simulator process and the event lines it prints.
class Sim
{
public:
    explicit Sim(const QString &settingsDir)
        : m_dir(settingsDir)
    {}
    ~Sim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(kEventTimeoutMs))
                m_process.kill();
        }
    }

    bool start(const QStringList &args)
    {
        m_process.start(QStringLiteral(DRIVESIM_PATH),
                        QStringList{QStringLiteral("--settings-dir"), m_dir} + args);
        const auto slave = event(QStringLiteral("READY"));
        m_slave = slave.value_or(QString());
        return slave.has_value();
    }
    QProcess &process() { return m_process; }
    QString link() const { return m_dir + QStringLiteral("/dosdevices/com1"); }
    QString slave() const { return m_slave; }

    // The argument of the next event called `name`; events before it are passed over.
    std::optional<QString> event(const QString &name, int timeoutMs = kEventTimeoutMs)
    {
        std::optional<QString> found;
        waitUntil(
            [&] {
                collect();
                for (; !found && m_next < m_lines.size(); ++m_next) {
                    const QString &line = m_lines.at(m_next);
                    if (line == name || line.startsWith(name + QLatin1Char(' ')))
                        found = line.mid(name.size()).trimmed();
                }
                return found.has_value() || m_process.state() == QProcess::NotRunning;
            },
            timeoutMs);
        return found;
    }
    bool line(const QString &expected, int timeoutMs = kEventTimeoutMs)
    {
        const qsizetype space = expected.indexOf(QLatin1Char(' '));
        const QString name = expected.left(space);
        const QString argument = expected.mid(space + 1);
        for (auto got = event(name, timeoutMs); got; got = event(name, timeoutMs)) {
            if (*got == argument)
                return true;
        }
        return false;
    }
    bool seen(const QString &name)
    {
        collect();
        return std::any_of(m_lines.cbegin(), m_lines.cend(), [&](const QString &line) {
            return line.section(QLatin1Char(' '), 0, 0) == name;
        });
    }
    bool command(const QString &text)
    {
        m_process.write(text.toUtf8() + '\n');
        return line(QStringLiteral("OK ") + text);
    }

private:
    void collect()
    {
        m_pending += m_process.readAllStandardOutput();
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            m_lines.append(QString::fromUtf8(m_pending.left(end)));
            m_pending.remove(0, end + 1);
        }
    }

    QString m_dir;
    QString m_slave;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    qsizetype m_next = 0;
};

std::unique_ptr<QSerialPort> openPort(const QString &name,
                                      QSerialPort::FlowControl flow = QSerialPort::SoftwareControl,
                                      qint32 baud = QSerialPort::Baud9600)
{
    auto port = std::make_unique<QSerialPort>(name);
    port->setBaudRate(baud);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(flow);
    if (!port->open(QIODevice::ReadWrite))
        return nullptr;
    return port;
}

// Chunks as they arrive, with the time each was seen.
// The line has gone away: the port says so, or the system does. Qt 6.8's port
// no longer reports a pseudo-terminal's hang-up as an error, but poll() does.
bool lineGone(const QSerialPort &port)
{
    if (port.error() != QSerialPort::NoError)
        return true;
    pollfd watch{static_cast<int>(port.handle()), POLLIN, 0};
    return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLHUP | POLLERR)) != 0;
}

struct Arrivals
{
    QByteArray data;
    QList<QPair<qint64, qint64>> marks; // (ms since start, total so far)
    QElapsedTimer clock;

    void readFrom(QSerialPort &port)
    {
        const QByteArray chunk = port.readAll();
        if (chunk.isEmpty())
            return;
        data += chunk;
        marks.append({clock.elapsed(), data.size()});
    }
    bool readUntil(QSerialPort &port, qint64 size, int timeoutMs)
    {
        return waitUntil(
            [&] {
                readFrom(port);
                return data.size() >= size;
            },
            timeoutMs);
    }
    void readFor(QSerialPort &port, int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            readFrom(port);
            QTest::qWait(2);
        }
    }
    // When the byte at index arrived.
    qint64 timeOf(qsizetype index) const
    {
        for (const auto &mark : marks) {
            if (mark.second > index)
                return mark.first;
        }
        return -1;
    }
    // Longest time between two chunks, and how much had arrived before it.
    QPair<qint64, qint64> longestGap() const
    {
        QPair<qint64, qint64> gap{0, 0};
        for (qsizetype i = 1; i < marks.size(); ++i) {
            const qint64 length = marks.at(i).first - marks.at(i - 1).first;
            if (length > gap.first)
                gap = {length, marks.at(i - 1).second};
        }
        return gap;
    }
};

} // namespace

class TestDriveSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void commands_data();
    void commands();
    void link_data();
    void link();
    void transmit_data();
    void transmit();
    void pacing_data();
    void pacing();
    void transmitPauses_data();
    void transmitPauses();
    void receive_data();
    void receive();
    void driveFlowControl_data();
    void driveFlowControl();
    void overrunWhenThePcIgnoresXoff_data();
    void overrunWhenThePcIgnoresXoff();
    void stoppedPcKeepsWhatItHolds();
    void sessionsInARow();
    void hangup_data();
    void hangup();
    void autoMode_data();
    void autoMode();
    void rateMismatch_data();
    void rateMismatch();
    void mismatchReadsTheSameHoweverCut();

private:
    QString path(const char *name) const { return m_dir->filePath(QLatin1String(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
QString describe(const Drive &drive)
{
    const DriveSettings &s = drive.settings();
    return QStringLiteral("mode=%1 baud=%2 delay=%3 eof=%4 buffer=%5/%6/%7 silence=%8/%9 "
                          "hangup=%10 hold=%11/%12")
        .arg(static_cast<int>(drive.mode()))
        .arg(s.baud)
        .arg(s.startDelayMs)
        .arg(s.sendEof)
        .arg(s.buffer.capacity)
        .arg(s.buffer.xoffHigh)
        .arg(s.buffer.xonLow)
        .arg(s.faults.silenceMs)
        .arg(s.faults.silenceAfter)
        .arg(s.faults.hangupAfter)
        .arg(s.faults.holdAfter)
        .arg(s.faults.holdMs);
}

const QString kDefaults = QStringLiteral(
    "mode=3 baud=0 delay=300 eof=1 buffer=1024/768/256 silence=0/-1 hangup=-1 hold=-1/0");
} // namespace

void TestDriveSim::commands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("settings"); // empty: the command is refused

    const auto changed = [](const char *from, const char *to) {
        return QString(kDefaults).replace(QLatin1String(from), QLatin1String(to));
    };
    QTest::newRow("baud") << "baud 9600" << changed("baud=0", "baud=9600");
    QTest::newRow("baud too low to pace") << "baud 5" << QString();
    QTest::newRow("no eof") << "eof off" << changed("eof=1", "eof=0");
    QTest::newRow("buffer") << "rx-buffer 100 80 20" << changed("1024/768/256", "100/80/20");
    QTest::newRow("xon above xoff") << "rx-buffer 100 80 90" << QString();
    QTest::newRow("xoff above capacity") << "xoff-high 2000" << QString();
    QTest::newRow("xon level") << "xon-low 700" << changed("/256", "/700");
    QTest::newRow("capacity below xoff") << "rx-capacity 512" << QString();
    QTest::newRow("silence for good")
        << "silence -1 100" << changed("silence=0/-1", "silence=-1/100");
    QTest::newRow("silence without count") << "silence 500" << QString();
    QTest::newRow("hangup negative") << "hangup -3" << QString();
    QTest::newRow("xoff hold") << "xoff-hold 10 250" << changed("hold=-1/0", "hold=10/250");
    QTest::newRow("transmit missing file") << "transmit /nonexistent/dump" << QString();
    QTest::newRow("transmit") << QStringLiteral("transmit ") + sample("params.jxf")
                              << changed("mode=3", "mode=1");
    QTest::newRow("receive without file") << "receive" << QString();
    QTest::newRow("unknown") << "frobnicate 3" << QString();
}

void TestDriveSim::commands()
{
    QFETCH(QString, command);
    QFETCH(QString, settings);
    Drive drive;
    CommandInterpreter interpreter(drive);
    const CommandOutcome outcome = interpreter.run(command);
    QCOMPARE(outcome.ok(), !settings.isEmpty());
    QCOMPARE(describe(drive), settings.isEmpty() ? kDefaults : settings);
}

void TestDriveSim::link_data()
{
    QTest::addColumn<QString>("existing"); // what com1 is before the simulator starts
    QTest::addColumn<bool>("serves");
    QTest::newRow("no folder yet") << QString() << true;
    QTest::newRow("stale link") << "link" << true;
    QTest::newRow("regular file") << "file" << false;
}

void TestDriveSim::link()
{
    QFETCH(QString, existing);
    QFETCH(bool, serves);
    Sim sim(m_dir->path());
    if (!existing.isEmpty())
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("dosdevices"))));
    if (existing == QLatin1String("link"))
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts"), sim.link()));
    if (existing == QLatin1String("file"))
        QVERIFY(writeFile(sim.link(), "keep me"));

    QCOMPARE(sim.start({QStringLiteral("--idle")}), serves);
    if (!serves) {
        QVERIFY(sim.process().state() == QProcess::NotRunning ||
                sim.process().waitForFinished(kEventTimeoutMs));
        QVERIFY(sim.process().exitCode() != 0);
        QVERIFY(sim.seen(QStringLiteral("ERROR")));
        QCOMPARE(contents(sim.link()), QByteArray("keep me"));
        return;
    }
    QCOMPARE(QFile::symLinkTarget(sim.link()), sim.slave());
    auto port = openPort(sim.link());
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    port->close();
    QVERIFY(sim.event(QStringLiteral("CLOSED")));
    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(kEventTimeoutMs));
    QVERIFY2(!QFileInfo(sim.link()).isSymLink(), "a link to a dead pty was left behind");
}

void TestDriveSim::transmit_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("eof");
    QTest::newRow("parameters") << sample("params.jxf") << QStringList() << true;
    QTest::newRow("dump") << sample("drive-dump.mmi") << QStringList() << true;
    QTest::newRow("dump without eof") << sample("drive-dump.mmi") << argList({"--no-eof"}) << false;
    QTest::newRow("paced") << sample("params.jxf") << argList({"--baud", "115200"}) << true;
}

void TestDriveSim::transmit()
{
    QFETCH(QString, file);
    QFETCH(QStringList, args);
    QFETCH(bool, eof);
    Sim sim(m_dir->path());
    QVERIFY(sim.start(QStringList{QStringLiteral("--transmit"), file} + args));
    auto port = openPort(sim.link());
    QVERIFY(port);
    const QByteArray expected = contents(file) + (eof ? QByteArray(1, kCtrlZ) : QByteArray());

    const auto done = sim.event(QStringLiteral("TX-DONE"));
    QVERIFY(done);
    QCOMPARE(done->toLongLong(), expected.size());
    Arrivals got;
    got.clock.start();
    // TX-DONE counted everything the drive wrote: nothing more can follow.
    QVERIFY(got.readUntil(*port, expected.size(), kEventTimeoutMs));
    QCOMPARE(got.data, expected);
}

void TestDriveSim::pacing_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("size");
    QTest::newRow("9600") << 9600 << 1200;
    QTest::newRow("2400") << 2400 << 300;
    QTest::newRow("300") << 300 << 30;
}

void TestDriveSim::pacing()
{
    QFETCH(int, baud);
    QFETCH(int, size);
    const QString file = path("part.mmi");
    QVERIFY(writeFile(file, contents(sample("drive-dump.mmi")).left(size)));
    Sim sim(m_dir->path());
    QVERIFY(sim.start({QStringLiteral("--transmit"), file, QStringLiteral("--no-eof"),
                       QStringLiteral("--baud"), QString::number(baud)}));
    auto port = openPort(sim.link());
    QVERIFY(port);
    Arrivals got;
    got.clock.start();
    QVERIFY(got.readUntil(*port, size, 3 * size * 1000 / charsPerSecond(baud)));

    const qint64 took = got.marks.last().first - got.marks.first().first;
    const double ideal = 1000.0 * (size - 1) / charsPerSecond(baud);
    QVERIFY2(took >= kPacingSlack * ideal,
             qPrintable(QStringLiteral("%1 ms for %2 ms of characters").arg(took).arg(ideal)));
}

void TestDriveSim::transmitPauses_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("pcXoffAt"); // -1: the PC never sends XOFF
    QTest::addColumn<int>("pauseAt");  // -1: wherever the XOFF lands
    QTest::addColumn<int>("minGapMs");
    QTest::newRow("silence") << argList({"--silence", "500,100"}) << -1 << 100 << 400;
    QTest::newRow("XOFF from the PC") << argList({"--baud", "9600"}) << 100 << -1 << 400;
}

void TestDriveSim::transmitPauses()
{
    QFETCH(QStringList, args);
    QFETCH(int, pcXoffAt);
    QFETCH(int, pauseAt);
    QFETCH(int, minGapMs);
    const QString file = path("part.mmi");
    const QByteArray text = contents(sample("drive-dump.mmi")).left(600);
    QVERIFY(writeFile(file, text));
    Sim sim(m_dir->path());
    QVERIFY(sim.start(QStringList{QStringLiteral("--transmit"), file} + args));
    auto port = openPort(sim.link());
    QVERIFY(port);
    Arrivals got;
    got.clock.start();
    if (pcXoffAt >= 0) {
        QVERIFY(got.readUntil(*port, pcXoffAt, kEventTimeoutMs));
        QCOMPARE(port->write(QByteArray(1, kXoff)), 1);
        got.readFor(*port, minGapMs + 100);
        QCOMPARE(port->write(QByteArray(1, kXon)), 1);
    }
    QVERIFY(got.readUntil(*port, text.size() + 1, kEventTimeoutMs));

    QCOMPARE(got.data, text + kCtrlZ);
    const auto gap = got.longestGap();
    QVERIFY2(gap.first >= minGapMs, qPrintable(QString::number(gap.first)));
    if (pauseAt >= 0)
        QCOMPARE(gap.second, pauseAt);
}

void TestDriveSim::receive_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("bufferFills");
    const QByteArray params = contents(sample("params.jxf"));
    QTest::newRow("unpaced") << params << QStringList() << false;
    QTest::newRow("115200") << contents(sample("drive-dump.mmi")) << argList({"--baud", "115200"})
                            << true;
    QTest::newRow("9600") << params.left(2000) << argList({"--baud", "9600"}) << true;
}

void TestDriveSim::receive()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, args);
    QFETCH(bool, bufferFills);
    const QString file = path("received.jxf");
    Sim sim(m_dir->path());
    QVERIFY(sim.start(QStringList{QStringLiteral("--receive"), file} + args));
    auto port = openPort(sim.link());
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    QCOMPARE(port->write(data), data.size());

    QVERIFY(sim.line(QStringLiteral("RX %1").arg(data.size())));
    QCOMPARE(contents(file), data);
    QCOMPARE(sim.seen(QStringLiteral("XOFF")), bufferFills);
    port->close();
    QVERIFY(sim.line(QStringLiteral("RX %1").arg(data.size())));
    QVERIFY(sim.event(QStringLiteral("CLOSED")));
}

void TestDriveSim::driveFlowControl_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("minHoldMs"); // -1: no XOFF expected
    // From xoff-high down to xon-low at 960 characters a second.
    QTest::newRow("buffer reaches xoff-high") << argList({"--baud", "9600"}) << 1500 << 420;
    QTest::newRow("below xoff-high") << argList({"--baud", "9600"}) << 700 << -1;
    QTest::newRow("own levels") << argList({"--baud", "9600", "--xon-low", "50", "--xoff-high",
                                            "150", "--rx-capacity", "200"})
                                << 400 << 80;
    QTest::newRow("xoff-hold") << argList({"--xoff-hold", "100,400"}) << 300 << 320;
}

// The PC's port leaves XON/XOFF alone here, so that they arrive as characters.
void TestDriveSim::driveFlowControl()
{
    QFETCH(QStringList, args);
    QFETCH(int, size);
    QFETCH(int, minHoldMs);
    const QString file = path("received.jxf");
    const QByteArray data = contents(sample("params.jxf")).left(size);
    Sim sim(m_dir->path());
    QVERIFY(sim.start(QStringList{QStringLiteral("--receive"), file} + args));
    auto port = openPort(sim.link(), QSerialPort::NoFlowControl);
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    Arrivals got;
    got.clock.start();
    QCOMPARE(port->write(data), data.size());

    if (minHoldMs >= 0)
        QVERIFY(got.readUntil(*port, 2, kEventTimeoutMs));
    QVERIFY(sim.line(QStringLiteral("RX %1").arg(size)));
    QCOMPARE(contents(file), data);
    // The drive says XOFF before the count that comes after it.
    QCOMPARE(sim.seen(QStringLiteral("XOFF")), minHoldMs >= 0);
    if (minHoldMs < 0)
        return;
    QCOMPARE(got.data, QByteArray() + kXoff + kXon);
    const qint64 held = got.timeOf(1) - got.timeOf(0);
    QVERIFY2(held >= minHoldMs, qPrintable(QString::number(held)));
}

void TestDriveSim::overrunWhenThePcIgnoresXoff_data()
{
    QTest::addColumn<bool>("pcObeys");
    QTest::newRow("the PC stops on XOFF") << true;
    QTest::newRow("the PC ignores XOFF") << false;
}

// The drive holds XOFF; the PC then sends more. Obeyed, it arrives after the XON; ignored,
// it arrives at once and overruns the drive, though the file still gets every character.
void TestDriveSim::overrunWhenThePcIgnoresXoff()
{
    QFETCH(bool, pcObeys);
    const QString file = path("received.jxf");
    const QByteArray data = contents(sample("params.jxf")).left(1000);
    Sim sim(m_dir->path());
    QVERIFY(sim.start({QStringLiteral("--receive"), file, QStringLiteral("--xoff-hold"),
                       QStringLiteral("300,2000")}));
    auto port =
        openPort(sim.link(), pcObeys ? QSerialPort::SoftwareControl : QSerialPort::NoFlowControl);
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    QCOMPARE(port->write(data.left(400)), 400);
    QVERIFY(sim.event(QStringLiteral("XOFF")));
    QCOMPARE(port->write(data.mid(400)), data.size() - 400);
    QVERIFY(sim.line(QStringLiteral("RX %1").arg(data.size())));
    port->close();
    const auto overrun = sim.event(QStringLiteral("OVERRUN"));
    QVERIFY(overrun);
    QVERIFY(sim.event(QStringLiteral("CLOSED")));
    QCOMPARE(contents(file), data);
    // All that came after the XOFF, but for what a UART's FIFO holds.
    QCOMPARE(overrun->toLongLong(), pcObeys ? 0 : data.size() - 400 - Receiver::kCharsInFlight);
}

// A pty takes far more than a UART's queue at once. What the PC wrote before the drive's
// XOFF is its held queue once it stops, which no wire delivers: its discard drops it.
void TestDriveSim::stoppedPcKeepsWhatItHolds()
{
    const QString file = path("received.jxf");
    const QByteArray data = contents(sample("params.jxf")).repeated(2).left(10000);
    Sim sim(m_dir->path());
    QVERIFY(sim.start(
        {QStringLiteral("--receive"), file, QStringLiteral("--baud"), QStringLiteral("9600")}));
    auto port = openPort(sim.link(), QSerialPort::SoftwareControl);
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    // Written while the drive is paused, so that all of it is in the pty before its first read.
    const pid_t drive = pid_t(sim.process().processId());
    QCOMPARE(::kill(drive, SIGSTOP), 0);
    const auto written = ::write(port->handle(), data.constData(), size_t(data.size()));
    QCOMPARE(::kill(drive, SIGCONT), 0);
    QCOMPARE(written, data.size());
    QVERIFY(sim.event(QStringLiteral("XOFF")));
    QVERIFY(port->clear(QSerialPort::Output));
    port->close();
    QVERIFY(sim.event(QStringLiteral("CLOSED")));
    // The drive's buffer and what the pty's far end had already taken, no more.
    const QByteArray got = contents(file);
    QVERIFY2(got.size() < 7000, qPrintable(QString::number(got.size())));
    QVERIFY(data.startsWith(got));
}

// The program closes and reopens the port between transfers; each session must start clean,
// even when the last one ended with the drive's output unread.
void TestDriveSim::sessionsInARow()
{
    const QByteArray dump = contents(sample("drive-dump.mmi"));
    const QByteArray params = contents(sample("params.jxf"));
    const QString received = path("received.jxf");
    Sim sim(m_dir->path());
    QVERIFY(sim.start({QStringLiteral("--transmit"), sample("drive-dump.mmi")}));
    {
        auto port = openPort(sim.link());
        QVERIFY(port);
        QVERIFY(waitUntil([&] { return port->bytesAvailable() > 0; }, kEventTimeoutMs));
        port->close();
        QVERIFY(sim.event(QStringLiteral("CLOSED")));
    }
    QVERIFY(sim.command(QStringLiteral("transmit ") + sample("params.jxf")));
    {
        auto port = openPort(sim.link());
        QVERIFY(port);
        QVERIFY(sim.event(QStringLiteral("OPENED")));
        Arrivals got;
        got.clock.start();
        QVERIFY(got.readUntil(*port, params.size() + 1, kEventTimeoutMs));
        QCOMPARE(got.data, params + kCtrlZ);
        QCOMPARE(sim.event(QStringLiteral("TX-DONE")).value_or(QString()),
                 QString::number(params.size() + 1));
        port->close();
        QVERIFY(sim.event(QStringLiteral("CLOSED")));
    }
    QVERIFY(sim.command(QStringLiteral("receive ") + received));
    auto port = openPort(sim.link());
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    QCOMPARE(port->write(dump), dump.size());
    QVERIFY(sim.line(QStringLiteral("RX %1").arg(dump.size())));
    QCOMPARE(contents(received), dump);
}

void TestDriveSim::hangup_data()
{
    QTest::addColumn<bool>("transmitting");
    QTest::addColumn<int>("after");
    QTest::newRow("while transmitting") << true << 500;
    QTest::newRow("while receiving") << false << 300;
}

void TestDriveSim::hangup()
{
    QFETCH(bool, transmitting);
    QFETCH(int, after);
    const QByteArray dump = contents(sample("drive-dump.mmi"));
    const QString received = path("received.jxf");
    Sim sim(m_dir->path());
    QVERIFY(
        sim.start({transmitting ? QStringLiteral("--transmit") : QStringLiteral("--receive"),
                   transmitting ? sample("drive-dump.mmi") : received, QStringLiteral("--baud"),
                   QStringLiteral("38400"), QStringLiteral("--hangup"), QString::number(after)}));
    const QString firstSlave = sim.slave();
    auto port = openPort(sim.link());
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    if (!transmitting)
        QCOMPARE(port->write(dump), dump.size());
    Arrivals got;
    got.clock.start();
    QVERIFY2(waitUntil(
                 [&] {
                     got.readFrom(*port);
                     return lineGone(*port);
                 },
                 kEventTimeoutMs),
             "the port never noticed the line going away");

    QVERIFY(sim.event(QStringLiteral("HUNGUP")));
    // Everything sent before the hangup reaches the PC; nothing after it.
    QCOMPARE(transmitting ? got.data : contents(received), dump.left(after));
    const auto slave = sim.event(QStringLiteral("READY"));
    QVERIFY(slave);
    QCOMPARE(QFile::symLinkTarget(sim.link()), *slave);
    QVERIFY(*slave != firstSlave);
    port->close();
    QVERIFY(sim.command(QStringLiteral("idle")));
    port = openPort(sim.link());
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
}

void TestDriveSim::autoMode_data()
{
    QTest::addColumn<bool>("pcSends");
    QTest::newRow("nothing arrives: the dump goes out") << false;
    QTest::newRow("data arrives: it is received") << true;
}

void TestDriveSim::autoMode()
{
    QFETCH(bool, pcSends);
    const QString received = path("received.jxf");
    const QByteArray params = contents(sample("params.jxf"));
    Sim sim(m_dir->path());
    QVERIFY(sim.start({QStringLiteral("--receive-file"), received}));
    auto port = openPort(sim.link());
    QVERIFY(port);
    Arrivals got;
    got.clock.start();
    if (pcSends) {
        // XON alone is flow control, not data: it must not start a reception.
        QCOMPARE(port->write(QByteArray(1, kXon) + params), params.size() + 1);
        QVERIFY(sim.line(QStringLiteral("RX %1").arg(params.size())));
        QCOMPARE(contents(received), params);
        return;
    }
    const QByteArray dump = contents(sample("drive-dump.mmi")) + kCtrlZ;
    QVERIFY(got.readUntil(*port, dump.size(), kEventTimeoutMs));
    QCOMPARE(got.data, dump);
    QVERIFY2(got.marks.first().first >= kPacingSlack * Drive::kAutoWaitMs,
             qPrintable(QString::number(got.marks.first().first)));
    QVERIFY(!QFile::exists(received));
}

void TestDriveSim::rateMismatch_data()
{
    QTest::addColumn<bool>("driveSends");
    QTest::addColumn<int>("pcBaud");
    QTest::newRow("drive sends, both at 9600") << true << 9600;
    QTest::newRow("drive sends, PC at 19200") << true << 19200;
    QTest::newRow("drive receives, both at 9600") << false << 9600;
    QTest::newRow("drive receives, PC at 4800") << false << 4800;
}

// A drive told to garble a mismatched line at 9600 baud: what crosses it is byte-exact when
// the PC's port runs at the same rate, and wrong, without its end of data, when not.
void TestDriveSim::rateMismatch()
{
    QFETCH(bool, driveSends);
    QFETCH(int, pcBaud);
    const bool match = pcBaud == 9600;
    const QByteArray text = contents(sample("params.jxf")).left(300);
    const QString file = path("line.jxf");
    QVERIFY(writeFile(file, text));
    Sim sim(m_dir->path());
    QVERIFY(sim.start(
        {QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--garble-mismatch"),
         driveSends ? QStringLiteral("--transmit") : QStringLiteral("--receive"), file}));
    auto port = openPort(sim.link(), QSerialPort::SoftwareControl, pcBaud);
    QVERIFY(port);
    QVERIFY(sim.event(QStringLiteral("OPENED")));
    const QByteArray sent = driveSends ? text + kCtrlZ : text;
    QByteArray crossed;
    if (driveSends) {
        const auto done = sim.event(QStringLiteral("TX-DONE"));
        QVERIFY(done);
        Arrivals got;
        QVERIFY(got.readUntil(*port, done->toLongLong(), kEventTimeoutMs));
        crossed = got.data;
    } else {
        QCOMPARE(port->write(text), text.size());
        QVERIFY(port->waitForBytesWritten(kEventTimeoutMs) || port->bytesToWrite() == 0);
        QVERIFY(waitUntil([&] { return contents(file).size() >= (match ? text.size() : 1); },
                          kEventTimeoutMs));
        port->close();
        QVERIFY(sim.event(QStringLiteral("CLOSED")));
        crossed = contents(file);
    }
    QCOMPARE(sim.seen(QStringLiteral("GARBLED")), !match);
    if (match) {
        QCOMPARE(crossed, sent);
        return;
    }
    // As a UART at the other rate reads them, every character of them.
    QCOMPARE(crossed, driveSends ? RateMismatch::garbled(sent, 9600, pcBaud)
                                 : RateMismatch::garbled(sent, pcBaud, 9600));
    QVERIFY(crossed != sent);
    QVERIFY(!crossed.endsWith(kCtrlZ));
}

// Whether the PC's characters come in one read or one at a time, the drive reads the same.
void TestDriveSim::mismatchReadsTheSameHoweverCut()
{
    const QByteArray text = contents(sample("drive-dump.mmi")).left(500);
    for (const auto &[sender, receiver] : {std::pair{9600, 19200}, std::pair{9600, 4800},
                                           std::pair{57600, 9600}, std::pair{300, 1200}}) {
        const QByteArray whole = RateMismatch::garbled(text, sender, receiver);
        RateMismatch line;
        line.start(sender, receiver);
        QByteArray piecewise;
        for (const char c : text)
            piecewise += line.pass(QByteArray(1, c));
        piecewise += line.finish();
        QCOMPARE(piecewise, whole);
        QVERIFY(whole != text);
    }
    QCOMPARE(RateMismatch::garbled(text, 9600, 9600), text);
}

QTEST_GUILESS_MAIN(TestDriveSim)
#include "tst_drivesim.moc"
