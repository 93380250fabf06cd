// quillet-cli's transfers end to end: the real command against the simulated
// drive on a real pseudo-terminal.
#include "clirun.h"
#include "common/drivesimprocess.h"
#include "common/pty.h"
#include "report/reporttext.h"
#include "transfer/commport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kPatience = 15000;

// Printable text of the given size, every line ending in CR LF.
QByteArray text(int size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i)
        bytes += QByteArray::number(i).rightJustified(8, '0') + "\r\n";
    return bytes.left(size);
}

// A parameter file of about size characters: 16-byte records and the end record.
QByteArray params(int size)
{
    QByteArray bytes;
    for (quint16 address = 0; bytes.size() < size; address += 16)
        bytes += hexRecord(address, 0, text(16)) + "\r\n";
    return bytes + ":00000001FF\r\n";
}

} // namespace

class TestCliTransfers : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_windir;
    std::unique_ptr<DriveSimProcess> m_sim;

    QString path(const QString &name) const { return m_windir.filePath(name); }
    QString driveDevice()
    {
        const QStringList ready = m_sim->lines().filter("READY ");
        return ready.isEmpty() ? QString() : ready.first().mid(6);
    }
    // The drive sends payload (without its end of data when eof is false), or receives.
    bool startDrive(const QByteArray &payload, int baud, bool eof = true)
    {
        QStringList arguments{"--baud", QString::number(baud)};
        if (payload.isEmpty())
            arguments += QStringList{"--receive", path("drive.jxf")};
        else if (writeFile(path("drive.txt"), payload))
            arguments += QStringList{"--transmit", path("drive.txt")};
        return m_sim->start(m_windir.path(), eof ? arguments : arguments << "--no-eof");
    }
    qint64 driveReceived()
    {
        const QStringList counts = m_sim->lines().filter("RX ");
        return counts.isEmpty() ? 0 : counts.last().mid(3).toLongLong();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_windir.isValid());
        QVERIFY2(!qEnvironmentVariable("QUILLET_CLI").isEmpty(), "run through ctest");
    }
    void init()
    {
        m_sim = std::make_unique<DriveSimProcess>();
        for (const char *name : {"drive.jxf", "got", "report.txt"})
            QFile::remove(path(name));
    }
    void cleanup() { m_sim.reset(); }

    // Each kind byte for byte, with its JSON and the report window's report.
    void byteExact_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("byDevice");
        QTest::newRow("dump, COM1") << "dump" << false;
        QTest::newRow("receive over an older file, device path, compared") << "receive" << true;
        QTest::newRow("send, COM1") << "send" << false;
    }
    void byteExact()
    {
        QFETCH(QString, command);
        QFETCH(bool, byDevice);
        const bool sending = command == "send";
        const QByteArray payload = command == "dump" ? text(6000) : params(4000);
        QVERIFY(startDrive(sending ? QByteArray() : payload, 57600));
        if (command != "dump")
            QVERIFY(writeFile(path("got"), sending ? payload : "last month's backup"));
        QVERIFY(writeFile(path("sent.jxf"), payload));
        const QString port = byDevice ? driveDevice() : "COM1";
        QStringList arguments{command,  path("got"), "--port",          port, "--baud", "57600",
                              "--json", "--report",  path("report.txt")};
        if (command == "receive")
            arguments << "--force"
                      << "--compare-with" << path("sent.jxf");
        const CliRun run = runCli(arguments, m_windir.path());
        QVERIFY2(run.exit == 0, qPrintable(run.err));

        if (sending) {
            QVERIFY(m_sim->waitFor("CLOSED", kPatience));
            QCOMPARE(readFile(path("drive.jxf")), payload);
        } else {
            QCOMPARE(readFile(path("got")), payload + '\x1a');
        }
        const QJsonObject json = run.json();
        QCOMPARE(json.value("kind").toString(), command);
        QCOMPARE(json.value("file").toString(), path("got"));
        QCOMPARE(json.value("port").toString(), port);
        QCOMPARE(json.value("baud").toInt(), 57600);
        QCOMPARE(json.value("characters").toInt(), payload.size());
        QCOMPARE(json.value("outcome").toString(), "complete");
        QVERIFY(json.value("seconds").toDouble() > 0);

        const QByteArray report = readFile(path("report.txt"));
        const QString started = QString::fromLatin1(report.left(report.indexOf("\r\n")));
        const qsizetype at = started.indexOf(" at ");
        const qsizetype date = QString("Transfer initiated on ").size();
        const ReportText::Inputs inputs{started.mid(date, at - date),
                                        started.mid(at + 4),
                                        qint16(sending ? 2 : 0),
                                        "57600",
                                        port,
                                        path("got"),
                                        readFile(path("got")),
                                        qint32(payload.size())};
        QCOMPARE(report, ReportText::compose(inputs).toLatin1());
    }

    // Ctrl-C or a stop from the system: the port is let go at once and what
    // moved is kept.
    void stopSignal_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT while receiving") << "dump" << SIGINT;
        QTest::newRow("SIGTERM while sending") << "send" << SIGTERM;
    }
    void stopSignal()
    {
        QFETCH(QString, command);
        QFETCH(int, signal);
        const bool sending = command == "send";
        const QByteArray payload = sending ? params(20000) : text(20000);
        QVERIFY(startDrive(sending ? QByteArray() : payload, 9600));
        QVERIFY(writeFile(path("got"), sending ? payload : QByteArray()));
        QProcess process;
        startCli(process, {command, path("got"), "--port", "COM1", "--json"}, m_windir.path());
        QDeadlineTimer deadline(kPatience);
        while ((sending ? driveReceived() : QFileInfo(path("got")).size()) < 1000 &&
               !deadline.hasExpired())
            QTest::qWait(20);
        QVERIFY(::kill(pid_t(process.processId()), signal) == 0);
        const CliRun run = finishCli(process);
        QCOMPARE(run.exit, 130);
        QCOMPARE(run.json().value("outcome").toString(), "cancelled");

        QVERIFY(m_sim->waitFor("CLOSED", kPatience));
        const QByteArray kept = readFile(path(sending ? "drive.jxf" : "got"));
        QVERIFY2(kept.size() >= 1000 && kept.size() < payload.size(), qPrintable(run.err));
        QVERIFY(payload.startsWith(kept));
        CommPort port;
        QVERIFY(port.setDevice(driveDevice()) && port.setPortOpen(true));
    }

    // A file of gigabytes takes seconds to read before anything is sent: a
    // Ctrl-C then ends the command at once, and nothing reaches the drive.
    void stopWhileTheFileToSendIsRead()
    {
        QVERIFY(startDrive(QByteArray(), 9600));
        QFile big(path("big.jxf"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(2000000000));
        big.close();
        QProcess process;
        startCli(process, {"send", path("big.jxf"), "--port", "COM1", "--json"}, m_windir.path());
        // The port is opened first, then the file is read.
        QVERIFY(m_sim->waitFor("OPENED", kPatience));
        QVERIFY(::kill(pid_t(process.processId()), SIGINT) == 0);
        const CliRun run = finishCli(process);
        QFile::remove(path("big.jxf"));
        QCOMPARE(run.exit, 130);
        QCOMPARE(run.json().value("outcome").toString(), "cancelled");
        QVERIFY(m_sim->waitFor("CLOSED", kPatience));
        QCOMPARE(driveReceived(), 0);
    }

    void timeOut_data()
    {
        QTest::addColumn<bool>("driveSends");
        QTest::addColumn<QString>("says");
        QTest::newRow("drive never starts") << false << "sent nothing within 1 s";
        QTest::newRow("drive stops without its end of data") << true << "Timeout on Coms";
    }
    void timeOut()
    {
        QFETCH(bool, driveSends);
        QFETCH(QString, says);
        const QByteArray payload = text(3000);
        QVERIFY(driveSends ? startDrive(payload, 57600, false)
                           : m_sim->start(m_windir.path(), {"--idle"}));
        const CliRun run = runCli({"dump", path("got"), "--port", "COM1", "--baud", "57600",
                                   "--start-timeout", "1", "--json"},
                                  m_windir.path());
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(run.json().value("outcome").toString(), "timed out");
        // A file that received nothing is not left behind.
        QCOMPARE(QFile::exists(path("got")), driveSends);
        if (driveSends)
            QCOMPARE(readFile(path("got")), payload + '\x1a');
    }

    // The drive's end hangs up while the command waits with no time limit: the
    // lost port is said within a second, and the file made for the run goes.
    void portLostWhileWaitingForTheDrive()
    {
        QVERIFY(m_sim->start(m_windir.path(), {"--idle", "--hangup", "0"}));
        QProcess process;
        startCli(process, {"dump", path("got"), "--port", "COM1", "--start-timeout", "0", "--json"},
                 m_windir.path());
        QVERIFY(m_sim->waitFor("HUNGUP", kPatience));
        const CliRun run = finishCli(process, 1000);
        QCOMPARE(run.exit, 1);
        QVERIFY2(run.err.contains("The Comms Port stopped working"), qPrintable(run.err));
        QCOMPARE(run.json().value("outcome").toString(), "failed");
        QVERIFY(!QFile::exists(path("got")));
    }

    // Refused before anything reaches the drive: one line, status 2, files as they were.
    void unusable_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("says");
        QTest::newRow("port that leads nowhere")
            << QStringList{"dump", "--port", "COM2"} << QByteArray() << "Serial Comms channel";
        QTest::newRow("receive over a file that holds data")
            << QStringList{"receive", "--port", "COM1"} << QByteArray("backup") << "--force";
        QTest::newRow("send without the end record")
            << QStringList{"send", "--port", "COM1"} << QByteArray(":00000001FE\r\n")
            << "termination sequence";
    }
    void unusable()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, content);
        QFETCH(QString, says);
        QVERIFY(m_sim->start(m_windir.path(), {"--receive", path("drive.jxf")}));
        QVERIFY(linkCom(m_windir.path(), 2, path("gone")));
        if (!content.isEmpty())
            QVERIFY(writeFile(path("got"), content));
        const CliRun run = runCli(options << path("got"), m_windir.path());
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(says) && run.err.count('\n') == 1, qPrintable(run.err));
        QCOMPARE(QFile::exists(path("got")), !content.isEmpty());
        if (!content.isEmpty())
            QCOMPARE(readFile(path("got")), content);
        QCOMPARE(driveReceived(), 0);
    }

    // A damaged parameter file reaches the drive only with --force.
    void damagedSend()
    {
        QByteArray damaged = params(500);
        char &checksum = damaged[damaged.indexOf("\r\n") - 1];
        checksum = checksum == '0' ? '1' : '0';
        QVERIFY(writeFile(path("got"), damaged));
        QVERIFY(startDrive({}, 57600));
        const QStringList arguments{"send", path("got"), "--port", "COM1", "--baud", "57600"};
        const CliRun refused = runCli(arguments, m_windir.path());
        QCOMPARE(refused.exit, 1);
        QVERIFY2(refused.err.contains("line 1: wrong checksum"), qPrintable(refused.err));
        const CliRun forced = runCli(arguments + QStringList{"--force"}, m_windir.path());
        QCOMPARE(forced.exit, 0);
        // Nothing on standard error but the command's own words: no warning of Qt's.
        QVERIFY2(!forced.err.contains("QCommandLineParser"), qPrintable(forced.err));
        QVERIFY(m_sim->waitFor("CLOSED", kPatience));
        QCOMPARE(readFile(path("drive.jxf")), damaged);
    }

    // On a terminal: page 2's words, then one line redrawn a few times a second.
    void terminalShowsProgress()
    {
        Pty terminal;
        QVERIFY(terminal.isValid());
        QVERIFY(startDrive(text(3000), 9600));
        QProcess process;
        const QByteArray slave = terminal.slave().toLocal8Bit();
        process.setChildProcessModifier([slave] {
            const int fd = ::open(slave.constData(), O_RDWR | O_NOCTTY);
            ::dup2(fd, STDERR_FILENO);
        });
        startCli(process, {"dump", path("got"), "--port", "COM1"}, m_windir.path());
        QByteArray drawn; // read as it comes, as a terminal does
        while (!process.waitForFinished(20))
            drawn += terminal.receive(1 << 20, 0);
        QCOMPARE(finishCli(process).exit, 0);
        const QString shown = QString::fromLatin1(drawn + terminal.receive(1 << 20, 200));
        QVERIFY2(shown.contains("Prepare the drive to transmit the MMI file.\r\n"
                                "Set Serial Links::System Port (P3) to DUMP MMI (Drive TX)\r\n"
                                "The transfer will commence when the drive is ready."),
                 qPrintable(shown));
        const QStringList redraws = shown.split('\r').filter(QRegularExpression("chars .*%.*left"));
        // About 3 s at 9600 baud: a handful of redraws, not one per block.
        QVERIFY2(redraws.size() >= 3 && redraws.size() <= 20, qPrintable(shown));
        QVERIFY(shown.contains("File Transfer complete. 3000 characters in"));
    }
};

QTEST_GUILESS_MAIN(TestCliTransfers)
#include "tst_clitransfers.moc"
