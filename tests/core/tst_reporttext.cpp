// The report's text, byte for byte.
#include "report/reporttext.h"
#include "settings/lineends.h"
#include "transfer/transferloop.h"
#include "transfer/transferstate.h"

#include <QDate>
#include <QTest>
#include <QTime>

namespace {

const QByteArray kRule(50, '-');
const QByteArray kHead = "Transfer initiated on 07/12/2026 at 13:02:03\r\n";

ReportText::Inputs inputs(qint16 type, const QByteArray &file, qint32 byteCount)
{
    ReportText::Inputs in;
    in.date = QStringLiteral("07/12/2026");
    in.time = QStringLiteral("13:02:03");
    in.iTransferType = type;
    in.baudText = QStringLiteral("9600");
    in.portText = QStringLiteral("COM1");
    in.fileName = QStringLiteral("C:\\drive\\unit7.jxf");
    in.fileBytes = file;
    in.lByteCount = byteCount;
    return in;
}

QByteArray every8BitCharacter()
{
    QByteArray bytes;
    for (int c = 128; c <= 255; ++c)
        bytes.append(static_cast<char>(c));
    return bytes;
}

} // namespace

class TestReportText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compose_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("byteCount");
        QTest::addColumn<QByteArray>("kept");

        const QByteArray dump = "P1 = 0050\r\nP2 = 1200\r\n\x1a";
        QTest::newRow("mmi dump, whole file with its 26") << 0 << dump << 3 << dump;
        QTest::newRow("jxf from drive") << 1 << dump << 0 << dump;
        QTest::newRow("received, ends in CR LF")
            << 1 << QByteArray("A\r\nB\r\n") << 0 << QByteArray("A\r\nB\r\n");
        QTest::newRow("received, 8-bit characters")
            << 0 << every8BitCharacter() << 0 << every8BitCharacter();
        QTest::newRow("received, control characters and lone line ends")
            << 0 << QByteArray("a\0b\tc\nd\re\f", 11) << 0 << QByteArray("a\0b\tc\nd\re\f", 11);

        const QByteArray hex = ":0400000001020304F2\r\n:00000001FF\r\n";
        QTest::newRow("send, complete") << 2 << hex << int(hex.size()) << hex;
        QTest::newRow("send, aborted after 7") << 2 << hex << 7 << QByteArray(":040000");
        QTest::newRow("send, stopped at 26")
            << 2 << QByteArray(":00000001FF\r\n\x1atrailer") << 13 << QByteArray(":00000001FF\r\n");
        QTest::newRow("send, count past the end") << 2 << hex << 5000 << hex;
        // The two rules then stand one empty line apart.
        QTest::newRow("send, nothing went out") << 2 << hex << 0 << QByteArray();
    }
    void compose()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, file);
        QFETCH(int, byteCount);
        QFETCH(QByteArray, kept);

        const QByteArray direction = type == TransferType::kJxfToDrive
                                         ? "Data transmitted at 9600 baud on COM1\r\n"
                                         : "Data recieved at 9600 baud on COM1\r\n";
        const QByteArray expected = kHead + direction + "Filename: C:\\drive\\unit7.jxf\r\n" +
                                    kRule + "\r\n" + kept + "\r\n" + kRule + "\r\n";
        const QString report = ReportText::compose(inputs(qint16(type), file, byteCount));
        QCOMPARE(report.toLatin1(), expected);
        QCOMPARE(report.size(), expected.size()); // one character per byte, nothing widened
    }

    // Damaged characters add the note as one more line, after the data; the
    // rest stays byte for byte.
    void lineErrorsAddALineAfterTheData()
    {
        ReportText::Inputs in = inputs(TransferType::kMmiDump, "P1 = 0050\r\n\x1a", 0);
        const QString without = ReportText::compose(in);
        in.lineErrors = 12;
        QCOMPARE(ReportText::compose(in), without + lineErrorNote(12) + QStringLiteral("\r\n"));
    }

    void dateAndTime_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("format"); // empty: the locale's own long form
        QTest::newRow("C") << "C"
                           << "7 Dec 2026"
                           << "13:02:03" << QString();
        QTest::newRow("en_US, 12-hour clock") << "en_US"
                                              << "12/7/26"
                                              << "1:02:03 PM" << QString();
        QTest::newRow("de_DE") << "de_DE"
                               << "07.12.26"
                               << "13:02:03" << QString();
        // Forms that need characters 8-bit text cannot hold fall back to C's.
        QTest::newRow("ja_JP, time falls back") << "ja_JP"
                                                << "2026/12/07"
                                                << "13:02:03" << QString();
        QTest::newRow("fa_IR, both fall back") << "fa_IR"
                                               << "7 Dec 2026"
                                               << "13:02:03" << QString();
        // Newer locale data writes en_US's time with a narrow no-break space
        // before PM, other forms with other spaces that 8-bit text cannot hold.
        QTest::newRow("en_US, narrow no-break space")
            << "en_US"
            << "12/7/26"
            << "1:02:03 PM" << QStringLiteral("h:mm:ss\u202fAP");
        QTest::newRow("fr_FR, thin space") << "fr_FR"
                                           << "07/12/2026"
                                           << "13 h 02" << QStringLiteral("HH\u2009'h'\u2009mm");
    }
    void dateAndTime()
    {
        QFETCH(QString, locale);
        QFETCH(QString, format);
        const QLocale l(locale);
        QTEST(ReportText::dateText(QDate(2026, 12, 7), l), "date");
        const QTime time(13, 2, 3);
        QTEST(format.isEmpty() ? ReportText::timeText(time, l)
                               : ReportText::timeText(time, l, format),
              "time");
    }

    void lineEndsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF, ending in one")
            << QStringLiteral("a\r\nb\r\n")
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()};
        QTest::newRow("mixed: LF CR is two ends")
            << QStringLiteral("a\n\rb\rc\nd")
            << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b"), QStringLiteral("c"),
                           QStringLiteral("d")};
        QTest::newRow("empty") << QString() << QStringList{QString()};
    }
    void lineEndsRoundTrip()
    {
        QFETCH(QString, text);
        const QList<LineEnds::Line> split = LineEnds::split(text);
        QStringList texts;
        for (const LineEnds::Line &line : split)
            texts.append(line.text);
        QTEST(texts, "lines");
        QCOMPARE(split.last().end, LineEnds::End::None);
        QCOMPARE(LineEnds::join(split), text);
    }

    // A message's lines, joined by CR, as a message box and the command show them.
    void messageLines_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("two lines") << QStringLiteral("Error on Serial Comms channel.\rPlease "
                                                     "select alternative Comms Port.")
                                   << QStringList{QStringLiteral("Error on Serial Comms channel."),
                                                  QStringLiteral("Please select alternative "
                                                                 "Comms Port.")};
        QTest::newRow("second line empty: a reason the system did not give")
            << QStringLiteral("Unable to read the file f.\r")
            << QStringList{"Unable to read the file f."};
        QTest::newRow("any line end")
            << QStringLiteral("a\r\nb\n\nc") << QStringList{"a", "b", "c"};
    }
    void messageLines()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, lines);
        QCOMPARE(LineEnds::messageLines(message), lines);
        QCOMPARE(LineEnds::messageOnOneLine(message), lines.join(' '));
    }
};

QTEST_GUILESS_MAIN(TestReportText)
#include "tst_reporttext.moc"
