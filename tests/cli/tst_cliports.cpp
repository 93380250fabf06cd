// quillet-cli ports: the list, --map and --unmap, as a script runs them, with
// a settings folder of the test's and a real pseudo-terminal.
#include "clirun.h"
#include "common/pty.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

class TestCliPorts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_windir;
    Pty m_pty;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariable("QUILLET_CLI").isEmpty());
        QVERIFY(m_pty.isValid());
    }
    void init() { QDir(m_windir.filePath("dosdevices")).removeRecursively(); }

    void portsAndMapping_data()
    {
        QTest::addColumn<bool>("linked"); // COM3 leads to the pseudo-terminal before
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says"); // on standard output, or error for status 2
        QTest::addColumn<QString>("com3"); // where COM3 leads afterwards
        const auto row = [](const char *name, bool linked, const QStringList &arguments, int exit,
                            const char *says, const char *com3) {
            QTest::newRow(name) << linked << arguments << exit << QString(says) << QString(com3);
        };
        row("list", false, {"ports"}, 0, "\nCOM3  /dev/ttyS2, ", "/dev/ttyS2");
        row("list a mapping", true, {"ports"}, 0, "\nCOM3  @pty, present\n", "@pty");
        row("map", false, {"ports", "--map", "COM3", "@pty"}, 0, "COM3 now leads to @pty", "@pty");
        row("map for a script", false, {"ports", "--map", "com3", "@pty", "--json"}, 0,
            "\"outcome\":\"mapped\"", "@pty");
        row("map what is no terminal", true, {"ports", "--map", "COM3", "/dev/null"}, 2,
            "/dev/null is not a terminal device", "@pty");
        row("unmap", true, {"ports", "--unmap", "COM3"}, 0, "COM3 leads to /dev/ttyS2",
            "/dev/ttyS2");
        row("COM9", false, {"ports", "--map", "COM9", "@pty"}, 2, "COM9 is no port", "/dev/ttyS2");
        row("both at once", true, {"ports", "--map", "COM3", "@pty", "--unmap", "COM3"}, 2,
            "not both", "@pty");
        row("map without a device", false, {"ports", "--map", "COM3"}, 2, "lead to", "/dev/ttyS2");
        row("list with a file", false, {"ports", "x"}, 2, "ports takes no file", "/dev/ttyS2");
        row("option of another command", false, {"ports", "--port", "COM1"}, 2,
            "ports takes no --port", "/dev/ttyS2");
    }
    void portsAndMapping()
    {
        QFETCH(bool, linked);
        QFETCH(QStringList, arguments);
        QFETCH(int, exit);
        QFETCH(QString, says);
        QFETCH(QString, com3);
        QVERIFY(!linked || linkCom(m_windir.path(), 3, m_pty.slave()));
        arguments.replaceInStrings("@pty", m_pty.slave());
        const CliRun run = runCli(arguments, m_windir.path());
        QCOMPARE(run.exit, exit);
        says.replace("@pty", m_pty.slave());
        QVERIFY2((exit == 2 ? run.err : run.out).contains(says), qPrintable(run.out + run.err));
        // One line for each COM number, in order, before the other devices.
        if (arguments == QStringList{"ports"}) {
            for (int n = 1; n <= 8; ++n)
                QVERIFY(run.out.section('\n', n - 1, n - 1).startsWith(QString("COM%1  ").arg(n)));
        }
        const CliRun list = runCli({"ports", "--json"}, m_windir.path());
        QCOMPARE(list.exit, 0);
        const QJsonArray ports = list.json().value("ports").toArray();
        QCOMPARE(ports.size(), 8);
        QCOMPARE(ports.at(2)["port"].toString(), "COM3");
        QCOMPARE(ports.at(2)["device"].toString(), com3.replace("@pty", m_pty.slave()));
    }
};

QTEST_GUILESS_MAIN(TestCliPorts)
#include "tst_cliports.moc"
