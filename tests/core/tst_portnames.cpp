#include "transfer/portnames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// How a test lays out <folder>/dosdevices/comN before asking for the device.
enum class Link { None, ToDevice, ToLinkToDevice, ToNothing };
Q_DECLARE_METATYPE(Link)

class TestPortNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deviceForPort_data();
    void deviceForPort();
    void settingsFolderIsTheDefault();
    void devicePathsResolveAsLinksDo();
    void comNumber_data();
    void comNumber();
};

void TestPortNames::deviceForPort_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<Link>("link");
    QTest::addColumn<QString>("expected"); // @ stands for the test's folder

    QTest::newRow("COM1 without a link") << 1 << Link::None << QStringLiteral("/dev/ttyS0");
    QTest::newRow("COM8 without a link") << 8 << Link::None << QStringLiteral("/dev/ttyS7");
    QTest::newRow("COM0 is no port") << 0 << Link::None << QString();
    QTest::newRow("negative is no port") << -3 << Link::ToDevice << QString();
    QTest::newRow("link resolved to the device")
        << 2 << Link::ToDevice << QStringLiteral("@/ttyUSB0");
    QTest::newRow("chain of links resolved")
        << 3 << Link::ToLinkToDevice << QStringLiteral("@/ttyUSB0");
    QTest::newRow("link to nothing is not replaced by ttyS")
        << 4 << Link::ToNothing << QStringLiteral("@/gone");
}

void TestPortNames::deviceForPort()
{
    QFETCH(int, number);
    QFETCH(Link, link);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    // Canonical, so that a temporary folder reached through a link compares equal.
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(QDir(root).mkpath(QStringLiteral("dosdevices")));
    const QString device = root + QStringLiteral("/ttyUSB0");
    QVERIFY(QFile(device).open(QIODevice::WriteOnly));
    const QString linkPath = root + QStringLiteral("/dosdevices/com%1").arg(qAbs(number));
    if (link == Link::ToDevice)
        QVERIFY(QFile::link(device, linkPath));
    if (link == Link::ToLinkToDevice) {
        QVERIFY(QFile::link(device, root + QStringLiteral("/usb-adapter")));
        QVERIFY(QFile::link(root + QStringLiteral("/usb-adapter"), linkPath));
    }
    if (link == Link::ToNothing)
        QVERIFY(QFile::link(root + QStringLiteral("/gone"), linkPath));

    expected.replace(QLatin1Char('@'), root);
    QCOMPARE(PortNames::deviceForPort(qint16(number), root), expected);
}

void TestPortNames::settingsFolderIsTheDefault()
{
    QTemporaryDir dir;
    const QString root = QDir(dir.path()).canonicalPath();
    QVERIFY(QDir(root).mkpath(QStringLiteral("dosdevices")));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), root + QStringLiteral("/dosdevices/com5")));
    qputenv("windir", root.toLocal8Bit());
    QCOMPARE(PortNames::deviceForPort(5), QStringLiteral("/dev/null"));
    QCOMPARE(PortNames::deviceForPort(6), QStringLiteral("/dev/ttyS5"));
    qunsetenv("windir");
}

// A port given by its path is resolved as a COM link is, so that two names of
// one device take the same lock.
void TestPortNames::devicePathsResolveAsLinksDo()
{
    QTemporaryDir dir;
    const QString root = QDir(dir.path()).canonicalPath();
    const QString device = root + QStringLiteral("/ttyUSB0");
    QVERIFY(QFile(device).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(device, root + QStringLiteral("/by-id")));
    QCOMPARE(PortNames::deviceForPath(device), device);
    QCOMPARE(PortNames::deviceForPath(root + QStringLiteral("/by-id")), device);
    QVERIFY(PortNames::deviceForPath(QString()).isEmpty());
}

void TestPortNames::comNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("first") << "COM1" << 1;
    QTest::newRow("last") << "COM8" << 8;
    QTest::newRow("lower case") << "com3" << 3;
    QTest::newRow("past the last") << "COM9" << 0;
    QTest::newRow("zero") << "COM0" << 0;
    QTest::newRow("leading zero") << "COM01" << 0;
    QTest::newRow("sign") << "COM+1" << 0;
    QTest::newRow("no number") << "COM" << 0;
    QTest::newRow("device path") << "/dev/ttyS0" << 0;
}

void TestPortNames::comNumber()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QCOMPARE(PortNames::comNumber(name), number);
    // Every offered name leads back to its number.
    if (number > 0)
        QCOMPARE(PortNames::comName(qint16(number)), name.toUpper());
}

QTEST_GUILESS_MAIN(TestPortNames)
#include "tst_portnames.moc"
