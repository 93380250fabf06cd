// Whole transfers with no window at all: the program's transfer session, a
// view that only records, and the simulated drive on a real pseudo-terminal.
#include "common/drivesimprocess.h"
#include "common/fakeview.h"
#include "common/hexfile.h"
#include "transfer/systemclock.h"
#include "transfer/transfersession.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

constexpr int kPatience = 10000;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Printable text of the given size, every line ending in CR LF.
QByteArray text(int size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i)
        bytes += QByteArray::number(i).rightJustified(8, '0') + "\r\n";
    return bytes.left(size);
}

} // namespace

class TestTransferSession : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_windir;
    std::unique_ptr<DriveSimProcess> m_sim;

    QString path(const char *name) const { return m_windir.filePath(QString::fromLatin1(name)); }
    // The pseudo-terminal the drive serves, as its READY line names it.
    QString driveDevice()
    {
        const QStringList ready = m_sim->lines().filter(QStringLiteral("READY "));
        return ready.isEmpty() ? QString() : ready.first().mid(6);
    }
    // The drive's first characters start a receive, as on page 2.
    bool waitForTheDrive(TransferSession &session)
    {
        QElapsedTimer waited;
        waited.start();
        while (session.inputWaiting() == 0 && waited.elapsed() < kPatience)
            QTest::qWait(10);
        return session.inputWaiting() > 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_windir.isValid());
        qputenv("windir", m_windir.path().toLocal8Bit());
        QVERIFY2(!qEnvironmentVariable("QUILLET_DRIVESIM").isEmpty(), "run through ctest");
    }
    void init() { m_sim = std::make_unique<DriveSimProcess>(); }
    void cleanup() { m_sim.reset(); }

    // Either way, byte for byte; the port named by its COM number or by its device.
    void bothWays_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("byDevice");
        QTest::newRow("MMI dump from the drive, COM1") << 0 << false;
        QTest::newRow("parameter file to the drive, device path") << 2 << true;
    }
    void bothWays()
    {
        QFETCH(int, type);
        QFETCH(bool, byDevice);
        const bool sending = TransferType::isSend(qint16(type));
        const QByteArray payload = sending ? parameterFile(3000) : text(5000);
        QVERIFY(writeFile(path(sending ? "params.jxf" : "drive.txt"), payload));
        QVERIFY(
            m_sim->start(m_windir.path(), {"--baud", "57600", sending ? "--receive" : "--transmit",
                                           path(sending ? "drive.jxf" : "drive.txt")}));
        TransferChoices choices;
        choices.transferType = qint16(type);
        choices.portNumber = byDevice ? 0 : 1;
        choices.devicePath = byDevice ? driveDevice() : QString();
        choices.baudRate = 57600;
        choices.fileName = path(sending ? "params.jxf" : "received.mmi");

        TransferSession session;
        QVERIFY(session.openPort(choices));
        const FileOpening opening = session.openFile();
        QCOMPARE(opening.result, OpenFileResult::Ok);
        QVERIFY(!sending || opening.records.isClean());
        QVERIFY(sending || waitForTheDrive(session));
        FakeView view;
        SystemTransferClock clock;
        const RunResult run = session.run(view, clock);

        QCOMPARE(run.outcome, TransferOutcome::Completed);
        QCOMPARE(run.fault, TransferFault::None);
        QCOMPARE(view.status, QStringLiteral("File Transfer complete."));
        QVERIFY(!session.portOpen() && !session.fileOpen() && !session.running());
        const TransferResults results = session.results();
        QCOMPARE(results.byteCount, payload.size());
        QCOMPARE(results.fileName, choices.fileName);
        QVERIFY(results.started.isValid());
        if (sending) {
            QVERIFY(m_sim->waitFor("CLOSED", kPatience));
            QCOMPARE(readFile(path("drive.jxf")), payload);
        } else {
            QCOMPARE(readFile(choices.fileName), payload + '\x1a');
        }
    }

    // The windows ask the user, the command answers from --force: either way the
    // session asks before a receive empties a file that holds something and before
    // a damaged file is sent, and a No leaves the file closed and as it was.
    void fileQuestions_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("content"); // empty: no such file yet
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("asked");
        const QByteArray sound = parameterFile(200);
        const QByteArray damaged = ":0100000000FE\r\n:00000001FF\r\n";
        QTest::newRow("receive into a new file") << 0 << QByteArray() << false << "";
        QTest::newRow("receive over data, No") << 1 << QByteArray("backup") << false << "replace";
        QTest::newRow("receive over data, Yes") << 0 << QByteArray("backup") << true << "replace";
        QTest::newRow("send a sound file") << 2 << sound << false << "";
        QTest::newRow("send a damaged file, No") << 2 << damaged << false << "damaged";
        QTest::newRow("send a damaged file, Yes") << 2 << damaged << true << "damaged";
    }
    void fileQuestions()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, content);
        QFETCH(bool, answer);
        QFETCH(QString, asked);
        const QString file = path("subject.jxf");
        QFile::remove(file);
        QVERIFY(content.isEmpty() || writeFile(file, content));
        TransferSession session;
        session.state().iTransferType = qint16(type);
        session.state().sFileName = file;
        QStringList questions;
        const FileOpening opening =
            session.openFile({[&](const QString &name) {
                                  questions.append("replace " + name);
                                  return answer;
                              },
                              [&](const HexCheck::Result &records) {
                                  questions.append(records.isClean() ? "clean" : "damaged");
                                  return answer;
                              }});
        QCOMPARE(questions.join('|'), asked.isEmpty()      ? QString()
                                      : asked == "replace" ? "replace " + file
                                                           : asked);
        const bool goesOn = asked.isEmpty() || answer;
        QCOMPARE(opening.opened(), goesOn);
        QCOMPARE(session.fileOpen(), goesOn);
        session.closeFile();
        // A receive that goes on starts from an empty file; otherwise it is untouched.
        const bool emptied = goesOn && !TransferType::isSend(qint16(type));
        QCOMPARE(readFile(file), emptied ? QByteArray() : content);
    }

    // A cancel from the event pump, as page 3's Cancel comes: the run ends at
    // once, keeps what arrived, and leaves the port closed.
    void cancelKeepsWhatArrived()
    {
        const QByteArray payload = text(20000);
        QVERIFY(writeFile(path("drive.txt"), payload));
        QVERIFY(m_sim->start(m_windir.path(), {"--baud", "9600", "--transmit", path("drive.txt")}));
        TransferChoices choices;
        choices.portNumber = 1;
        choices.baudRate = 9600;
        choices.fileName = path("cancelled.mmi");
        TransferSession session;
        QVERIFY(session.openPort(choices));
        QCOMPARE(session.openFile().result, OpenFileResult::Ok);
        QVERIFY(waitForTheDrive(session));
        QTimer cancel;
        cancel.callOnTimeout([&] {
            if (session.running() && session.state().lByteCount >= 1000)
                session.cancel();
        });
        cancel.start(5);
        FakeView view;
        SystemTransferClock clock;
        QCOMPARE(session.run(view, clock).outcome, TransferOutcome::CancelledWhileReceiving);

        QVERIFY(!session.portOpen());
        QVERIFY(m_sim->waitFor("CLOSED", kPatience));
        const QByteArray kept = readFile(choices.fileName);
        QVERIFY(kept.size() >= 1000 && kept.size() < payload.size());
        QVERIFY(payload.startsWith(kept));
        QCOMPARE(session.results().byteCount, kept.size());
        QVERIFY(!session.receivedCheck()); // no parameter file was asked for
    }
};

QTEST_GUILESS_MAIN(TestTransferSession)
#include "tst_transfersession.moc"
