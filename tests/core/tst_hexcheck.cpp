#include "transfer/hexcheck.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QByteArray kEnd = ":00000001FF";
// Two good data records from the drive's sample parameter file.
const QByteArray kGoodA = ":1000000001010000000000000005010200000212D2";
const QByteArray kGoodB = ":060A900000460000008C8E";

QByteArray lines(const QList<QByteArray> &records)
{
    QByteArray text;
    for (const QByteArray &record : records)
        text += record + "\r\n";
    return text;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
}

QString sample(const char *name)
{
    return qEnvironmentVariable("QUILLET_SOURCE_DIR") + "/tools/drivesim/samples/" + name;
}

} // namespace

class TestHexCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void record_data();
    void record();
    void text_data();
    void text();
    void piecesGiveTheSameResult();
    void samplesAreClean();
    void receivedFileEndsAtTheLastEndOfData();
    void onlyPlainFilesAreRead();
    void messagesNameCountAndLine();
};

void TestHexCheck::record_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("valid");
    QTest::newRow("data record") << kGoodA << true;
    QTest::newRow("short data record") << kGoodB << true;
    QTest::newRow("end record") << kEnd << true;
    QTest::newRow("lower-case digits") << QByteArray(":060a900000460000008c8e") << true;
    QTest::newRow("checksum off by one") << QByteArray(":060A900000460000008C8F") << false;
    QTest::newRow("data byte changed") << QByteArray(":060A900000470000008C8E") << false;
    QTest::newRow("length says more") << QByteArray(":070A900000460000008C8D") << false;
    QTest::newRow("length says less") << QByteArray(":050A900000460000008C8F") << false;
    QTest::newRow("one digit missing") << QByteArray(":060A90000046000008C8E") << false;
    QTest::newRow("not a hex digit") << QByteArray(":060A9000004G0000008C8E") << false;
    QTest::newRow("space inside") << QByteArray(":060A9000 460000008C8E") << false;
    QTest::newRow("only the mark") << QByteArray(":") << false;
    QTest::newRow("too short for a frame") << QByteArray(":0000000") << false;
    QTest::newRow("no mark") << QByteArray("00000001FF") << false;
}

void TestHexCheck::record()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, valid);
    QCOMPARE(HexCheck::isValidRecord(record), valid);
}

void TestHexCheck::text_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("records");
    QTest::addColumn<qint64>("damaged");
    QTest::addColumn<qint64>("firstLine");
    QTest::addColumn<bool>("hasEnd");

    QTest::newRow("clean") << lines({kGoodA, kGoodB, kEnd}) << qint64(3) << qint64(0) << qint64(0)
                           << true;
    QTest::newRow("LF only, no final line end")
        << QByteArray(kGoodA + "\n" + kEnd) << qint64(2) << qint64(0) << qint64(0) << true;
    QTest::newRow("text lines are not records")
        << lines({"; drive parameters", "", kGoodA, "JXF 1.0", kEnd}) << qint64(2) << qint64(0)
        << qint64(0) << true;
    QTest::newRow("bad checksum on line 2") << lines({kGoodA, ":060A900000460000008C8F", kEnd})
                                            << qint64(3) << qint64(1) << qint64(2) << true;
    QTest::newRow("two damaged, first on line 3")
        << lines({"header", kGoodA, ":0G", kGoodB, ":050A900000460000008C8F", kEnd}) << qint64(5)
        << qint64(2) << qint64(3) << true;
    QTest::newRow("no end record")
        << lines({kGoodA, kGoodB}) << qint64(2) << qint64(0) << qint64(0) << false;
    QTest::newRow("end record damaged")
        << lines({kGoodA, ":00000001FE"}) << qint64(2) << qint64(1) << qint64(2) << false;
    QTest::newRow("end record inside another line is not the end")
        << lines({kGoodA, "x:00000001FF"}) << qint64(1) << qint64(0) << qint64(0) << false;
    QTest::newRow("overlong record") << lines({QByteArray(":") + QByteArray(2000, '0'), kEnd})
                                     << qint64(2) << qint64(1) << qint64(1) << true;
    QTest::newRow("overlong text line is no record")
        << lines({QByteArray(5000, 'x'), kEnd}) << qint64(1) << qint64(0) << qint64(0) << true;
    QTest::newRow("empty") << QByteArray() << qint64(0) << qint64(0) << qint64(0) << false;
}

void TestHexCheck::text()
{
    QFETCH(QByteArray, text);
    const HexCheck::Result result = HexCheck::checkText(text);
    QTEST(result.records, "records");
    QTEST(result.damaged, "damaged");
    QTEST(result.firstDamagedLine, "firstLine");
    QTEST(result.hasEndRecord, "hasEnd");
}

// A file is read in chunks, so a record cut between two of them must count once.
void TestHexCheck::piecesGiveTheSameResult()
{
    const QByteArray text = lines({"header", kGoodA, ":060A900000460000008C8F", kGoodB, kEnd});
    const HexCheck::Result whole = HexCheck::checkText(text);
    for (qsizetype size : {1, 2, 7, 13}) {
        HexCheck::Checker checker;
        for (qsizetype at = 0; at < text.size(); at += size)
            checker.feed(text.mid(at, size));
        const HexCheck::Result pieces = checker.finish();
        QCOMPARE(pieces.records, whole.records);
        QCOMPARE(pieces.damaged, whole.damaged);
        QCOMPARE(pieces.firstDamagedLine, whole.firstDamagedLine);
        QCOMPARE(pieces.hasEndRecord, whole.hasEndRecord);
    }
    QCOMPARE(whole.firstDamagedLine, qint64(3));
}

void TestHexCheck::samplesAreClean()
{
    const HexCheck::Result params = HexCheck::checkFile(sample("params.jxf"));
    QVERIFY(params.readable);
    QVERIFY(params.records > 100);
    QCOMPARE(params.damaged, qint64(0));
    QVERIFY(params.isClean());
    // The drive's dump is text, not records: nothing to call damaged, and no end.
    const HexCheck::Result dump = HexCheck::checkFile(sample("drive-dump.mmi"));
    QVERIFY(dump.readable);
    QCOMPARE(dump.damaged, qint64(0));
    QVERIFY(!dump.hasEndRecord);
}

void TestHexCheck::receivedFileEndsAtTheLastEndOfData()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile in(sample("params.jxf"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray params = in.readAll();

    const QString received = dir.filePath("received.jxf");
    QVERIFY(writeFile(received, params + char(26) + "\r\n:line noise after the end\r\n"));
    QVERIFY(HexCheck::checkReceivedFile(received).isClean());
    // Checked whole, the same bytes hold one damaged record.
    QCOMPARE(HexCheck::checkFile(received).damaged, qint64(1));
    QVERIFY(writeFile(received, params + ":0" + char(26)));
    QCOMPARE(HexCheck::checkReceivedFile(received).damaged, qint64(1));

    // Cut short by a hang-up: no end record, the last record half there.
    QVERIFY(writeFile(received, params.left(params.size() / 2)));
    const HexCheck::Result cut = HexCheck::checkReceivedFile(received);
    QVERIFY(!cut.hasEndRecord);
    QCOMPARE(cut.damaged, qint64(1));
    QVERIFY(!HexCheck::receivedWarning(cut).isEmpty());
}

void TestHexCheck::onlyPlainFilesAreRead()
{
    QTemporaryDir dir;
    QVERIFY(!HexCheck::checkFile(dir.filePath("none.jxf")).readable);
    QVERIFY(!HexCheck::checkReceivedFile(dir.filePath("none.jxf")).recordsIntact());
    // A pipe with no writer would hold the check for ever; a device never ends.
    const QString fifo = dir.filePath("pipe");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!HexCheck::checkFile(fifo).readable);
    QVERIFY(!HexCheck::checkReceivedFile(fifo).readable);
    QVERIFY(!HexCheck::checkFile("/dev/zero").readable);
}

void TestHexCheck::messagesNameCountAndLine()
{
    HexCheck::Result result;
    result.records = 40;
    result.damaged = 3;
    result.firstDamagedLine = 17;
    result.hasEndRecord = true;
    const QString question = HexCheck::sendQuestion(result);
    QVERIFY(question.contains("3 damaged"));
    QVERIFY(question.contains("line 17"));
    QVERIFY(question.endsWith("\rSend it anyway?"));
    const QString warning = HexCheck::receivedWarning(result);
    QVERIFY(warning.contains("3 damaged"));
    QVERIFY(!warning.contains(":00000001FF"));

    result.damaged = 0;
    result.firstDamagedLine = 0;
    QVERIFY(HexCheck::receivedWarning(result).isEmpty());
    result.hasEndRecord = false;
    QVERIFY(HexCheck::receivedWarning(result).contains(":00000001FF"));
}

QTEST_GUILESS_MAIN(TestHexCheck)
#include "tst_hexcheck.moc"
