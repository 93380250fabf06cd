// Parameter files are checked both ways through the real windows: a damaged
// file is questioned on page 1's Next before anything reaches the drive, and a
// damaged one received from the drive is reported after the transfer.
#include "common/wizardfixture.h"
#include "transfer/transferfile.h"

#include <QSerialPort>

using namespace Wizard;

namespace {

const QString kComplete = QStringLiteral("File Transfer complete.");

QByteArray sampleParams()
{
    return readFile(qEnvironmentVariable("QUILLET_SOURCE_DIR") +
                    QStringLiteral("/tools/drivesim/samples/params.jxf"));
}

// The sample with its line-th line (1-based) replaced.
QByteArray withLine(int line, const QByteArray &text)
{
    QList<QByteArray> lines = sampleParams().split('\n');
    lines[line - 1] = text + '\r';
    return lines.join('\n');
}

} // namespace

class TestIntegrity : public QObject, public WizardFixture
{
    Q_OBJECT

private:
private Q_SLOTS:
    void initTestCase()
    {
        setUpSuite();
        QVERIFY(sampleParams().size() > 1000);
    }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void damagedSend_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("where");
        QTest::newRow("checksum") << withLine(3, ":1000200000001D07FFFFC8D70105FFFFED06FFFF1B")
                                  << "1 damaged record(s); the first is on line 3.";
        QTest::newRow("hex digit") << withLine(2, ":10001000FFFFA3E0010300005D2B0000383B0104ZB")
                                   << "1 damaged record(s); the first is on line 2.";
        QTest::newRow("length, twice") << withLine(5, ":11004000165D00007BE6010800002669000073D7FA")
                                              .replace(":1000300", ":0F00300")
                                       << "2 damaged record(s); the first is on line 4.";
        // The rest of the kinds of damage are in tst_clifiles: one grammar.
        QTest::newRow("a record whose ':' was lost")
            << withLine(3, "1000200000001D07FFFFC8D70105FFFFED06FFFF1A")
            << "1 damaged record(s); the first is on line 3.";
    }
    // No, the default, brings page 1 back and the drive gets nothing.
    void damagedSend()
    {
        QFETCH(QByteArray, file);
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        next(2, path("params.jxf"));

        QCOMPARE(m_messages->shown.size(), 1);
        const MsgBox::Request &question = m_messages->shown.first();
        QCOMPARE(question.buttons, MsgBox::Buttons::YesNo);
        QVERIFY(question.defaultIsNo);
        QCOMPARE(question.icon, MsgBox::Icon::Warning);
        QFETCH(QString, where);
        QVERIFY2(question.text.contains(where), qPrintable(question.text));
        QVERIFY(question.text.endsWith(QStringLiteral("Send it anyway?")));

        QVERIFY(frmMain1().isVisible());
        QVERIFY(!frmMain2().isVisible());
        QVERIFY(!transferSession().fileOpen());
        QVERIFY(portIsFree(1));
        // The open and close may be too quick for the drive to notice. A session of the
        // test's own comes after them: anything of the file that went out would be counted
        // before this one's six characters, or with them.
        QSerialPort marker(PortNames::deviceForPort(1));
        QVERIFY(marker.open(QIODevice::ReadWrite));
        QCOMPARE(marker.write("marker"), 6);
        QVERIFY(marker.waitForBytesWritten(5000) || marker.bytesToWrite() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->said("RX").contains("6"), 10000);
        marker.close();
        for (const QString &count : m_sim->said("RX"))
            QVERIFY2(count == "0" || count == "6", qPrintable(count));
        QCOMPARE(readFile(path("drive.jxf")), QByteArray("marker"));
    }

    void damagedSendAnsweredYes()
    {
        const QByteArray file = withLine(7, ":10006000");
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        m_messages->answers.push_back(MsgBox::Result::Yes);
        next(2, path("params.jxf"));
        QCOMPARE(m_messages->shown.size(), 1);
        QVERIFY(frmMain2().isVisible());
        button(frmMain2(), "Next")->click(); // runs the whole transfer
        QCOMPARE(status(), kComplete);
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        QCOMPARE(readFile(path("drive.jxf")), file);
        QCOMPARE(m_messages->shown.size(), 1);
    }

    // Sound files as tools leave them: only what is sent, up to the first
    // code 26, is checked.
    void soundFilesAreSentWithoutAQuestion_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("the sample") << sampleParams();
        QTest::newRow("end record followed at once by code 26")
            << sampleParams().chopped(2) + '\x1a';
        QTest::newRow("anything after code 26") << sampleParams() + "\x1a:0G garbage\r\n\x1a";
        QTest::newRow("CR line ends") << sampleParams().replace("\r\n", "\r");
        QTest::newRow("blanks and tabs after records") << sampleParams().replace("\r\n", " \t\r\n");
        QTest::newRow("records after the end record") << sampleParams() + sampleParams();
    }
    void soundFilesAreSentWithoutAQuestion()
    {
        QFETCH(QByteArray, file);
        QVERIFY(writeFile(path("params.jxf"), file));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        next(2, path("params.jxf"));
        QVERIFY(frmMain2().isVisible());
        QVERIFY2(m_messages->shown.isEmpty(), qPrintable(m_messages->texts().join('|')));
        button(frmMain2(), "Next")->click(); // runs the whole transfer
        QCOMPARE(status(), kComplete);
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        const qsizetype end = file.indexOf('\x1a');
        QCOMPARE(readFile(path("drive.jxf")), end < 0 ? file : file.left(end));
    }

    void receivedFileChecked_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("clean sample") << sampleParams() << QStringList();
        QTest::newRow("checksum") << withLine(4, ":100030008C7C0106000008A000000A650107000093")
                                  << QStringList{"1 damaged record(s); the first is on line 4."};
        QTest::newRow("no end record")
            << sampleParams().replace(":00000001FF\r\n", "")
            << QStringList{"not a complete parameter file", "\"JXF XFER (Drive TX)\""};
        QTest::newRow("a record whose ':' was lost")
            << withLine(4, "100030008C7C0106000008A000000A650107000092")
            << QStringList{"1 damaged record(s); the first is on line 4."};
        QTest::newRow("cut short")
            << sampleParams().left(1000) << QStringList{"1 damaged record(s)", "no end record"};
    }
    // The file stays as it came and page 3 says what it always says; a
    // message after the transfer tells what is wrong.
    void receivedFileChecked()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, said);
        QVERIFY(writeFile(path("drive.jxf"), sent));
        QVERIFY(startSim({"--baud", "57600", "--transmit", path("drive.jxf")}));
        QFile::remove(path("received.jxf")); // a row before left it: no replace question
        next(1, path("received.jxf"));
        QVERIFY(waitForReceive(30000));
        QCOMPARE(readFile(path("received.jxf")), sent + '\x1a');
        QCOMPARE(status(), kComplete);
        if (said.isEmpty()) {
            QVERIFY(m_messages->shown.isEmpty());
            return;
        }
        QCOMPARE(m_messages->shown.size(), 1);
        const QString text = m_messages->shown.first().text;
        for (const QString &part : said)
            QVERIFY2(text.contains(part), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("every character that arrived")));
    }
};

QTEST_MAIN(TestIntegrity)
#include "tst_integrity.moc"
