#include "transfer/hexcheck.h"
#include "transfer/hexchecktext.h"
#include "transfer/hexrecord.h"
#include "transfer/paramfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using HexCheck::Damage;
using HexCheck::Finding;

namespace {

const QByteArray kEnd = ":00000001FF";
// Two good data records from the drive's sample parameter file.
const QByteArray kGoodA = ":1000000001010000000000000005010200000212D2";
const QByteArray kGoodB = ":060A900000460000008C8E";
const QByteArray kBadSum = ":060A900000460000008C8F";

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

Q_DECLARE_METATYPE(Damage)
Q_DECLARE_METATYPE(QList<Finding>)

class TestHexCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void record_data();
    void record();
    void text_data();
    void text();
    void findingsAreCapped();
    void piecesGiveTheSameResult();
    void samplesAreClean();
    void fileEndsAtTheFirstEndOfData();
    void onlyPlainFilesAreRead();
    void messagesSayWhatIsWrong();
};

void TestHexCheck::record_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("damage"); // -1: sound
    const auto row = [](const char *name, const QByteArray &record, int damage) {
        QTest::newRow(name) << record << damage;
    };
    row("data record", kGoodA, -1);
    row("short data record", kGoodB, -1);
    row("end record", kEnd, -1);
    row("lower-case digits", ":060a900000460000008c8e", -1);
    row("checksum off by one", kBadSum, int(Damage::BadChecksum));
    row("data byte changed", ":060A900000470000008C8E", int(Damage::BadChecksum));
    row("length says more", ":070A900000460000008C8D", int(Damage::BadLength));
    row("length says less", ":050A900000460000008C8F", int(Damage::BadLength));
    row("one digit missing", ":060A90000046000008C8E", int(Damage::BadLength));
    row("not a hex digit", ":060A9000004G0000008C8E", int(Damage::BadHexDigit));
    row("space inside", ":060A9000 460000008C8E", int(Damage::BadHexDigit));
    row("only the mark", ":", int(Damage::BadLength));
    row("too short for a frame", ":0000000", int(Damage::BadLength));
    row("longer than 255 data bytes", ":" + QByteArray(522, '0'), int(Damage::TooLong));
    row("no mark", kGoodA.sliced(1), int(Damage::NotARecord));
    // A start address record places nothing at its address field.
    row("03 start address", ":0400000300001234B3", -1);
    row("05 start address", ":0400000500001234B1", -1);
    row("03 at address 0010", ":0400100300001234A3", int(Damage::AddressNotZero));
    row("05 at address 0001", ":0400010500001234B0", int(Damage::AddressNotZero));
}

void TestHexCheck::record()
{
    QFETCH(QByteArray, record);
    QFETCH(int, damage);
    const std::optional<Damage> found = HexRecord::parse(record).damage;
    QCOMPARE(found ? int(*found) : -1, damage);
}

void TestHexCheck::text_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("records");
    QTest::addColumn<QList<Finding>>("findings");
    QTest::addColumn<bool>("hasEnd");
    QTest::addColumn<qint64>("afterEnd");
    const QList<Finding> none;

    // Sound files as tools and drives leave them.
    QTest::newRow("CR LF") << lines({kGoodA, kGoodB, kEnd}) << qint64(3) << none << true
                           << qint64(0);
    QTest::newRow("LF only, no final line end")
        << QByteArray(kGoodA + "\n" + kEnd) << qint64(2) << none << true << qint64(0);
    QTest::newRow("end record followed at once by code 26")
        << QByteArray(kGoodA + "\r\n" + kEnd + "\x1a") << qint64(2) << none << true << qint64(0);
    QTest::newRow("anything after the first code 26")
        << QByteArray(lines({kGoodA, kEnd}) + "\x1a:0G\r\n" + kBadSum + "\x1a\n") << qint64(2)
        << none << true << qint64(0);
    QTest::newRow("CR only, blank lines")
        << QByteArray(kGoodA + "\r\r" + kGoodB + "\r \t\r" + kEnd + "\r") << qint64(3) << none
        << true << qint64(0);
    QTest::newRow("blanks and tabs after records")
        << QByteArray(kGoodA + " \t\r\n" + kGoodB + "\t\n" + kEnd + "   ") << qint64(3) << none
        << true << qint64(0);
    QTest::newRow("records after the end record are a note")
        << lines({kGoodA, kEnd, kGoodB, kEnd}) << qint64(4) << none << true << qint64(2);

    // Damage, with the line it is on.
    QTest::newRow("bad checksum on line 2")
        << lines({kGoodA, kBadSum, kEnd}) << qint64(3) << QList<Finding>{{2, Damage::BadChecksum}}
        << true << qint64(0);
    QTest::newRow("each kind, CR only")
        << QByteArray("header\r" + kGoodA + "\r:0G\r:070A900000460000008C8D\r:" +
                      QByteArray(600, '0') + "\r" + kBadSum + "\r" + kEnd)
        << qint64(7)
        << QList<Finding>{{1, Damage::NotARecord},
                          {3, Damage::BadHexDigit},
                          {4, Damage::BadLength},
                          {5, Damage::TooLong},
                          {6, Damage::BadChecksum}}
        << true << qint64(0);
    QTest::newRow("overlong text line")
        << lines({QByteArray(5000, 'x'), kEnd}) << qint64(2)
        << QList<Finding>{{1, Damage::NotARecord}} << true << qint64(0);
    QTest::newRow("damage after the end record is damage")
        << lines({kGoodA, kEnd, kBadSum}) << qint64(3) << QList<Finding>{{3, Damage::BadChecksum}}
        << true << qint64(0);
    QTest::newRow("no end record")
        << lines({kGoodA, kGoodB}) << qint64(2) << none << false << qint64(0);
    QTest::newRow("end record only after code 26")
        << QByteArray(lines({kGoodA}) + "\x1a" + lines({kEnd})) << qint64(1) << none << false
        << qint64(0);
    QTest::newRow("end record damaged")
        << lines({kGoodA, ":00000001FE"}) << qint64(2) << QList<Finding>{{2, Damage::BadChecksum}}
        << false << qint64(0);
    QTest::newRow("empty") << QByteArray() << qint64(0) << none << false << qint64(0);
}

void TestHexCheck::text()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<Finding>, findings);
    const HexCheck::Result result = HexCheck::checkText(text);
    QTEST(result.records, "records");
    QCOMPARE(result.findings, findings);
    QCOMPARE(result.damaged, qint64(findings.size()));
    QCOMPARE(result.firstDamagedLine(), findings.isEmpty() ? 0 : findings.front().line);
    QTEST(result.hasEndRecord, "hasEnd");
    QTEST(result.afterEnd, "afterEnd");
}

void TestHexCheck::findingsAreCapped()
{
    QList<QByteArray> records(HexCheck::kMaxFindings + 50, kBadSum);
    records.append(kEnd);
    const HexCheck::Result result = HexCheck::checkText(lines(records));
    QCOMPARE(result.damaged, qint64(HexCheck::kMaxFindings + 50));
    QCOMPARE(result.findings.size(), HexCheck::kMaxFindings);
    QCOMPARE(result.findings.back().line, qint64(HexCheck::kMaxFindings));
    QVERIFY(result.hasEndRecord);
}

// A file is read in chunks, so a record, a CR LF or trailing blanks cut
// between two of them must count once.
void TestHexCheck::piecesGiveTheSameResult()
{
    const QByteArray text = "header\r\n" + kGoodA + " \t\r\n" + kBadSum + "\r" + kGoodB + "\n\r\n" +
                            kEnd + "\x1a" + kBadSum;
    const HexCheck::Result whole = HexCheck::checkText(text);
    QCOMPARE(whole.findings, (QList<Finding>{{1, Damage::NotARecord}, {3, Damage::BadChecksum}}));
    QVERIFY(whole.hasEndRecord);
    for (qsizetype size : {1, 2, 7, 13}) {
        HexCheck::Checker checker;
        for (qsizetype at = 0; at < text.size(); at += size)
            checker.feed(text.mid(at, size));
        QVERIFY(checker.finish() == whole);
    }
}

void TestHexCheck::samplesAreClean()
{
    const HexCheck::Result params = ParamFile::check(sample("params.jxf")).result;
    QVERIFY(params.records > 100);
    QVERIFY(params.isClean());
    // The drive's dump is text: no line of it is a record.
    const HexCheck::Result dump = ParamFile::check(sample("drive-dump.mmi")).result;
    QVERIFY(dump.readable);
    QVERIFY(dump.records > 100);
    QCOMPARE(dump.damaged, dump.records);
    QVERIFY(!dump.hasEndRecord);
}

void TestHexCheck::fileEndsAtTheFirstEndOfData()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile in(sample("params.jxf"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray params = in.readAll();
    const QString file = dir.filePath("received.jxf");

    QVERIFY(writeFile(file, params + char(26) + "\r\n:line noise after the end\r\n" + char(26)));
    QVERIFY(ParamFile::check(file).result.isClean());
    // The drive's end of data in the middle: the rest, end record and all, is not its data.
    QVERIFY(
        writeFile(file, params.left(params.size() / 2) + char(26) + params.mid(params.size() / 2)));
    const HexCheck::Result cut = ParamFile::check(file).result;
    QVERIFY(!cut.hasEndRecord);
    QCOMPARE(cut.damaged, qint64(1)); // the record the end of data cut in two
}

void TestHexCheck::onlyPlainFilesAreRead()
{
    QTemporaryDir dir;
    QVERIFY(!ParamFile::check(dir.filePath("none.jxf")).result.readable);
    // A pipe with no writer would hold the check for ever; a device never ends.
    const QString fifo = dir.filePath("pipe");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!ParamFile::check(fifo).result.readable);
    QVERIFY(!ParamFile::check("/dev/zero").result.readable);
}

void TestHexCheck::messagesSayWhatIsWrong()
{
    HexCheck::Result result;
    result.records = 40;
    result.damaged = 3;
    result.findings = {{17, Damage::BadChecksum}, {18, Damage::BadLength}, {30, Damage::TooLong}};
    result.hasEndRecord = true;
    const QString question = HexCheck::sendQuestion(result);
    QVERIFY(question.contains("3 damaged"));
    QVERIFY(question.contains("line 17"));
    QVERIFY(!question.contains(":00000001FF"));
    QVERIFY(question.endsWith("\rSend it anyway?"));
    const QString warning = HexCheck::receivedWarning(result);
    QVERIFY(warning.contains("3 damaged"));
    QVERIFY(!warning.contains("complete"));

    result.damaged = 0;
    result.findings.clear();
    QVERIFY(HexCheck::receivedWarning(result).isEmpty());
    result.hasEndRecord = false;
    QVERIFY(HexCheck::sendQuestion(result).contains(":00000001FF"));
    const QString partial = HexCheck::receivedWarning(result);
    QVERIFY(partial.contains("not a complete parameter file"));
    QVERIFY(partial.contains("\"JXF XFER (Drive TX)\"?"));
}

QTEST_GUILESS_MAIN(TestHexCheck)
#include "tst_hexcheck.moc"
