#include "transfer/paramimage.h"

#include <QFile>
#include <QtTest>

#include <algorithm>

namespace {

// ":LLAAAATT<data>CC" with its checksum.
QByteArray record(int type, quint16 address, const QByteArray &dataHex)
{
    QByteArray bytes = QByteArray::fromHex(dataHex);
    bytes.prepend(char(type)).prepend(char(address & 0xFF)).prepend(char(address >> 8));
    bytes.prepend(char(bytes.size() - 3));
    int sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return ':' + (bytes + char(-sum)).toHex().toUpper();
}

QByteArray data(quint16 address, const QByteArray &dataHex)
{
    return record(0, address, dataHex);
}

QByteArray hexFile(const QList<QByteArray> &records, const QByteArray &eol = "\r\n")
{
    return (records + QList<QByteArray>{":00000001FF"}).join(eol) + eol;
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
    QTest::newRow("same data, no end record") << kPlain << kLow + "\r\n" + kHigh + "\r\n"
                                              << "B: no end record (:00000001FF)\n";
    QTest::newRow("linear bases differ")
        << hexFile({record(4, 0, "0001"), kHigh}) << hexFile({record(4, 0, "0002"), kHigh})
        << "00010020-00010023 only in A: 8899AABB\n00020020-00020023 only in B: 8899AABB\n";
    QTest::newRow("damaged record, line counted over CR LF")
        << kPlain << hexFile({kHigh, kLow.left(kLow.size() - 1) + '0'})
        << "B line 2: damaged record (length, hex digits or checksum)\n"
           "0010-0017 only in A: 0011223344556677\n";
    QTest::newRow("data after a damaged address record is not placed")
        << hexFile({record(4, 0, "0001"), kLow, kHigh})
        << hexFile({QByteArray(":020000040001F0"), kLow, kHigh}, "\n")
        << "B line 1: damaged record (length, hex digits or checksum)\n"
           "B line 2: 2 data record(s) from here not used: their address record (line 1) is "
           "damaged\n00010010-00010017 only in A: 0011223344556677\n"
           "00010020-00010023 only in A: 8899AABB\n";
    QTest::newRow("no end record, unknown type, two values for one address")
        << hexFile({kLow, kHigh})
        << QByteArray(kLow + "\n" + record(6, 0, "") + "\n" + data(0x10, "FF"))
        << "B line 2: record of unknown type 06\n"
           "B line 3: gives address 0010 another value than an earlier record\n"
           "B: no end record (:00000001FF)\n0010 differ: A 00, B FF\n"
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
    const auto result =
        ParamImage::compare(ParamImage::Image::fromText(a), ParamImage::Image::fromText(b));
    QCOMPARE(result.toText("A", "B"), text);
    QCOMPARE(result.identical(), text.startsWith("identical"));
}

void TestParamImage::sampleMatchesItselfWrittenOtherwise()
{
    QFile file(qEnvironmentVariable("QUILLET_SOURCE_DIR") + "/tools/drivesim/samples/params.jxf");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray sample = file.readAll();
    QList<QByteArray> records = sample.trimmed().split('\n');
    std::reverse(records.begin(), records.end());
    const auto image = ParamImage::Image::fromText(sample);
    QVERIFY(image.intact());
    const auto result = ParamImage::compare(image, ParamImage::Image::fromText(records.join('\r')));
    QCOMPARE(result.toText("sample", "reversed"), "identical\n");
}

QTEST_GUILESS_MAIN(TestParamImage)
#include "tst_paramimage.moc"
