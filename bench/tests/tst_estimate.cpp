// The benchmark's arithmetic: what it reads from the drive's events and the
// files it sends. A wrong estimate here would print a wrong table.
#include "estimate.h"
#include "table.h"

#include <QtTest>

namespace {

DriveEvent driveEvent(double at, const char *name, qint64 count = -1)
{
    return DriveEvent{at, QString::fromLatin1(name), count};
}

// Every line a record: colon, hex digits, a checksum that sums to zero.
bool isIntelHex(const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    if (!lines.last().isEmpty())
        return false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (!line.startsWith(':') || !line.endsWith('\r'))
            return false;
        const QByteArray bytes = QByteArray::fromHex(line.mid(1, line.size() - 2));
        int sum = 0;
        for (char c : bytes)
            sum += static_cast<unsigned char>(c);
        if (bytes.size() < 5 || bytes.size() != 5 + static_cast<unsigned char>(bytes.at(0)) ||
            (sum & 0xff) != 0)
            return false;
    }
    return text.endsWith(":00000001FF\r\n");
}

} // namespace

class TestEstimate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sendSpan_data()
    {
        QTest::addColumn<QList<DriveEvent>>("events");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        // 9600 baud: 960 characters a second, 12,000 take 12.5 s.
        QTest::newRow("steady line; the count at the close is left out")
            << QList<DriveEvent>{driveEvent(1.0, "RX", 960), driveEvent(2.0, "RX", 1920),
                                 driveEvent(2.5, "RX", 12000), driveEvent(2.5, "CLOSED")}
            << 0.0 << 12.5;
        QTest::newRow("a stall moves the end out")
            << QList<DriveEvent>{driveEvent(1.0, "RX", 960), driveEvent(2.0, "RX", 960),
                                 driveEvent(3.0, "RX", 1920), driveEvent(3.1, "RX", 12000),
                                 driveEvent(3.1, "CLOSED")}
            << 0.0 << 13.5;
        QTest::newRow("a late start moves the start in")
            << QList<DriveEvent>{driveEvent(0.5, "OPENED"),     driveEvent(1.5, "RX", 480),
                                 driveEvent(2.5, "RX", 1440),   driveEvent(12.0, "RX", 10560),
                                 driveEvent(12.1, "RX", 12000), driveEvent(12.1, "CLOSED")}
            << 1.0 << 13.5;
        QTest::newRow("no close: every count below the total is used")
            << QList<DriveEvent>{driveEvent(1.0, "RX", 960), driveEvent(11.0, "RX", 10560),
                                 driveEvent(13.0, "RX", 12000)}
            << 0.0 << 12.5;
    }
    void sendSpan()
    {
        QFETCH(QList<DriveEvent>, events);
        const auto span = ::sendSpan({events.begin(), events.end()}, 12000, 9600);
        QVERIFY(span);
        QTEST(span->first, "first");
        QTEST(span->last, "last");
    }

    void sendSpanNeedsPacedCounts()
    {
        // Only the count after the close: nothing says when the line carried it.
        QVERIFY(
            !::sendSpan({driveEvent(0.1, "RX", 12000), driveEvent(0.1, "CLOSED")}, 12000, 9600));
    }

    void receiveSpanTakesTheEarlierStart_data()
    {
        QTest::addColumn<double>("doneAt");
        QTest::addColumn<double>("first");
        QTest::newRow("held up by the PC: the open says more") << 14.0 << 0.3;
        QTest::newRow("started late: TX-DONE says more") << 12.7 << 0.2;
    }
    void receiveSpanTakesTheEarlierStart()
    {
        QFETCH(double, doneAt);
        // 12,000 characters and the end of data at 960 a second: 12.5 s.
        const auto span = ::receiveSpan(
            {driveEvent(0.0, "OPENED"), driveEvent(doneAt, "TX-DONE", 12000)}, 0.3, 9600, 20.0);
        QVERIFY(span);
        QTEST(span->first, "first");
        QCOMPARE(span->last, 20.0);
    }

    void filesHaveExactlyTheirSize_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {26, 70, 116, 12000, 60000, 60002})
            QTest::addRow("%d", size) << size;
    }
    void filesHaveExactlyTheirSize()
    {
        QFETCH(int, size);
        const QByteArray hex = hexFileOfSize(size);
        QCOMPARE(hex.size(), size);
        QVERIFY(isIntelHex(hex));
        const QByteArray dump = dumpOfSize(size);
        QCOMPARE(dump.size(), size);
        // Nothing a line with XON/XOFF would swallow, nothing that ends the data.
        QVERIFY(!dump.contains('\x11') && !dump.contains('\x13') && !dump.contains('\x1a'));
    }

    void runOutput()
    {
        RunOutput ok = parseRunOutput("noise\nRESULT ideal=12.5 line=12.6\n", 0);
        QVERIFY(ok.error.isEmpty());
        QCOMPARE(ok.values.value(QStringLiteral("line")), 12.6);
        QCOMPARE(parseRunOutput("RESULT error=file-differs\n", 1).error,
                 QStringLiteral("file-differs"));
        QVERIFY(!parseRunOutput("crashed\n", 134).error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEstimate)
#include "tst_estimate.moc"
