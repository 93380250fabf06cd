#include "common/hexfile.h"
#include "transfer/paramimage.h"

#include "transfer/transferfile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

QByteArray record(int type, quint16 address, const QByteArray &dataHex)
{
    return hexRecord(address, quint8(type), QByteArray::fromHex(dataHex));
}

QByteArray data(quint16 address, const QByteArray &dataHex)
{
    return record(0, address, dataHex);
}

QByteArray randomBytes(QRandomGenerator &random, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// A sound file: data below and above 64 KiB, address and start records, one
// kind of line end. Data records may give an address two values.
QByteArray generatedFile(QRandomGenerator &random)
{
    QList<QByteArray> records;
    for (int i = random.bounded(1, 12); i > 0; --i) {
        const int kind = random.bounded(6);
        if (kind < 2)
            records.append(hexRecord(0, kind == 0 ? 2 : 4, randomBytes(random, 2)));
        else if (kind == 2)
            records.append(hexRecord(0, random.bounded(2) ? 3 : 5, randomBytes(random, 4)));
        else
            records.append(
                hexRecord(random.bounded(0x10000), 0, randomBytes(random, random.bounded(1, 40))));
    }
    const QList<QByteArray> ends{"\r\n", "\n", "\r"};
    return hexFile(records, ends.at(random.bounded(3)));
}

// Up to three slips of the kind a hand, an editor or a line makes.
QByteArray mutated(QByteArray file, QRandomGenerator &random)
{
    static const QByteArray kSlips(":0A \t\r\n\x1a\xEF;");
    for (int i = random.bounded(4); i > 0; --i) {
        const qsizetype at = random.bounded(file.size());
        const char slip = kSlips.at(random.bounded(kSlips.size()));
        switch (random.bounded(4)) {
        case 0:
            file[at] = slip;
            break;
        case 1:
            file.remove(at, 1);
            break;
        case 2:
            file.insert(at, slip);
            break;
        default:
            file.insert(file.indexOf('\n', at) + 1, file.mid(at, random.bounded(1, 30)));
        }
    }
    return file;
}

const QByteArray kLow = data(0x10, "0011223344556677");
const QByteArray kHigh = data(0x20, "8899AABB");
const QByteArray kPlain = hexFile({kLow, kHigh});

} // namespace

class TestParamImage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compare_data();
    void compare();
    void sampleMatchesItselfWrittenOtherwise();
    void checkAndCompareAgree();
    void manyRangesAreCounted();
};

void TestParamImage::compare_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<QString>("text");

    QTest::newRow("line ends, blanks, digit case")
        << kPlain << hexFile({kLow.toLower() + " \t", kHigh + "  "}, "\r") << "identical\n";
    QTest::newRow("record lengths and order")
        << kPlain << hexFile({kHigh, data(0x14, "44556677"), data(0x10, "00112233")})
        << "identical\n";
    QTest::newRow("nothing after code 26 counts")
        << kPlain << kPlain + '\x1a' + data(0x40, "01") + "\r\n:zz\r\n"
        << "identical\n";
    QTest::newRow("segment and linear base to the same address")
        << hexFile({record(2, 0, "1000"), kLow}) << hexFile({record(4, 0, "0001"), kLow})
        << "identical\n";
    QTest::newRow("start address is noted only")
        << hexFile({kLow, kHigh, record(5, 0, "00001234")}) << kPlain
        << "identical\nstart address (not parameter data): A 00001234, B none\n";
    QTest::newRow("one changed byte") << kPlain << hexFile({data(0x10, "0011229944556677"), kHigh})
                                      << "0013 differ: A 33, B 99\n";
    QTest::newRow("missing record")
        << kPlain << hexFile({kLow}) << "0020-0023 only in A: 8899AABB\n";
    QTest::newRow("records only in B, on both sides of a page")
        << kPlain << hexFile({kLow, kHigh, data(0x3FF, "01"), data(0x1000, "02")})
        << "03FF only in B: 01\n1000 only in B: 02\n";
    QTest::newRow("same data, no end record")
        << kPlain << kLow + "\r\n" + kHigh + "\r\n"
        << "B: no end record (:00000001FF) on a line of its own\n";
    QTest::newRow("records after the end record are noted, not data")
        << kPlain << kPlain + data(0x40, "01") + "\r\n" + kHigh + "\r\n"
        << "identical\nB line 4: 2 records after the end record are not used\n";
    // As srec_cat and intelhex read them: on past 64 KiB until an address
    // record says otherwise, and after an 02 record within its segment.
    QTest::newRow("a record across 64 KiB before any address record")
        << hexFile({data(0xFFFE, "01020304")})
        << hexFile(
               {record(4, 0, "0001"), data(0, "0304"), record(4, 0, "0000"), data(0xFFFE, "0102")})
        << "identical\n";
    QTest::newRow("a record across its segment's end")
        << hexFile({record(2, 0, "1000"), data(0xFFFE, "01020304")})
        << hexFile({record(4, 0, "0001"), data(0, "0304"), data(0xFFFE, "0102")}) << "identical\n";
    // srec_cat alone makes an 05 record go on linearly and an 03 wrap.
    QTest::newRow("a start address record changes no address")
        << hexFile({record(2, 0, "1000"), record(5, 0, "00001234"), data(0xFFFE, "01020304")})
        << hexFile({record(4, 0, "0001"), data(0, "0304"), data(0xFFFE, "0102")})
        << "identical\nstart address (not parameter data): A 00001234, B none\n";
    QTest::newRow("linear bases differ")
        << hexFile({record(4, 0, "0001"), kHigh}) << hexFile({record(4, 0, "0002"), kHigh})
        << "00010020-00010023 only in A: 8899AABB\n00020020-00020023 only in B: 8899AABB\n";
    QTest::newRow("damaged record, line counted over CR LF")
        << kPlain << hexFile({kHigh, kLow.left(kLow.size() - 1) + '0'})
        << "B line 2: wrong checksum\n"
           "0010-0017 only in A: 0011223344556677\n";
    QTest::newRow("data after a damaged address record is not placed")
        << hexFile({record(4, 0, "0001"), kLow, kHigh})
        << hexFile({QByteArray(":020000040001F0"), kLow, kHigh}, "\n")
        << "B line 1: wrong checksum\n"
           "B line 2: 2 data records from here not used: their address record (line 1) is "
           "damaged\n00010010-00010017 only in A: 0011223344556677\n"
           "00010020-00010023 only in A: 8899AABB\n";
    QTest::newRow("no end record, unknown type, two values for one address")
        << hexFile({kLow, kHigh})
        << QByteArray(kLow + "\n" + record(6, 0, "") + "\n" + data(0x10, "FF"))
        << "B line 2: record of unknown type 06 (types are 00 to 05)\n"
           "B line 3: gives address 0010 another value than an earlier record\n"
           "B: no end record (:00000001FF) on a line of its own\n0010 differ: A 00, B FF\n"
           "0020-0023 only in A: 8899AABB\n";
    QTest::newRow("long values are shortened")
        << hexFile({data(0x10, QByteArray(80, 'A'))}) << hexFile({data(0x10, QByteArray(80, 'B'))})
        << "0010-0037 differ: A " + QString(64, 'A') + "... (40 bytes), B " + QString(64, 'B') +
               "... (40 bytes)\n";
}

void TestParamImage::compare()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(QString, text);
    const auto result = ParamImage::compare(HexCheck::checkText(a), HexCheck::checkText(b));
    QCOMPARE(result.toText("A", "B"), text);
    QCOMPARE(result.identical(), text.startsWith("identical"));
}

void TestParamImage::sampleMatchesItselfWrittenOtherwise()
{
    QFile file(qEnvironmentVariable("QUILLET_SOURCE_DIR") + "/tools/drivesim/samples/params.jxf");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray sample = file.readAll();
    // Every record but the end record, which ends the data, in reverse order.
    QList<QByteArray> records = sample.trimmed().split('\n');
    std::reverse(records.begin(), records.end() - 1);
    const HexCheck::Result image = HexCheck::checkText(sample);
    QVERIFY(image.isClean());
    const auto result = ParamImage::compare(image, HexCheck::checkText(records.join('\r')));
    QCOMPARE(result.toText("sample", "reversed"), "identical\n");
}

// The check (before a send, in pieces as the file is read, and on its own)
// calls a file intact exactly when its compare with itself finds no damage.
void TestParamImage::checkAndCompareAgree()
{
    QRandomGenerator random(18);
    int intact = 0;
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray sound = generatedFile(random);
        const QByteArray file = i % 4 == 0 ? sound : mutated(sound, random);
        const HexCheck::Result image = HexCheck::checkText(file);
        const bool clean = image.isClean();
        QVERIFY2(ParamImage::compare(image, image).identical() == clean, file.constData());
        SendFileScan scan;
        for (qsizetype at = 0; at < file.size(); at += 7)
            scan.feed(QByteArrayView(file).sliced(at, qMin<qsizetype>(7, file.size() - at)));
        QVERIFY2(scan.records().isClean() == clean, file.constData());
        intact += clean;
    }
    // Both answers come up often enough for the agreement to say something.
    QVERIFY2(intact > kFiles / 4 && intact < kFiles * 3 / 4, qPrintable(QString::number(intact)));
}

// Files that differ at every other address: the first ranges in address
// order, whatever their kind, and then only a count.
void TestParamImage::manyRangesAreCounted()
{
    const QByteArray zeros(250, '\0');
    QByteArray changed = zeros;
    for (qsizetype i = 0; i < changed.size(); i += 2)
        changed[i] = '\1';
    const auto result = ParamImage::compare(
        HexCheck::checkText(hexFile({hexRecord(0, 0, zeros)})),
        HexCheck::checkText(hexFile({hexRecord(0, 0, changed), hexRecord(0x1000, 0, "\2")})));
    QCOMPARE(result.differing.size(), ParamImage::kMaxRanges);
    QCOMPARE(result.differing.last(), (ParamImage::Range{quint32(2 * ParamImage::kMaxRanges - 2),
                                                         QByteArray(1, '\0'), "\1"}));
    QVERIFY(result.onlyInB.isEmpty());
    QCOMPARE(result.unlisted, 125 + 1 - ParamImage::kMaxRanges);
    QVERIFY(result.toText("A", "B").endsWith("\n26 more range(s) not listed\n"));
}

QTEST_GUILESS_MAIN(TestParamImage)
#include "tst_paramimage.moc"
