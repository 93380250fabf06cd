// quillet-cli's check and compare on small files, and its answer to wrong use.
#include "clirun.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kEnd = ":00000001FF";

// Three data records and the end record, CR LF after each.
QByteArray params(const QByteArray &lineEnd = "\r\n")
{
    return hexRecord(0x0000, 0, "\x01\x02\x03\x04") + lineEnd + hexRecord(0x0004, 0, "\x05\x06") +
           lineEnd + hexRecord(0x0100, 0, "\x07") + lineEnd + kEnd + lineEnd;
}

} // namespace

class TestCliFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(!qEnvironmentVariable("QUILLET_CLI").isEmpty()); }

    void check_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says"); // on standard output (or error, for exit 2)
        QTest::addColumn<int>("findings");
        QByteArray changed = params();
        changed[changed.indexOf("0506") + 3] = '7';
        QTest::newRow("intact") << params() << 0 << "intact, 4 record(s)" << 0;
        QTest::newRow("LF and blanks after records")
            << params(" \n") << 0 << "intact, 4 record(s)" << 0;
        QTest::newRow("one changed byte") << changed << 1 << "line 2: wrong checksum" << 1;
        QTest::newRow("not a hex digit")
            << QByteArray(":10000G00" + params()) << 1 << "line 1: a character that is not" << 1;
        QTest::newRow("missing end record")
            << params().replace(kEnd, "") << 1 << "no end record (:00000001FF)" << 1;
        QTest::newRow("end record after the end of data")
            << params().insert(params().indexOf(kEnd), '\x1a') << 1 << "no end record" << 1;
        QTest::newRow("empty") << QByteArray() << 2 << "does not exist or is empty" << -1;
    }
    void check()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, exit);
        QFETCH(QString, says);
        QFETCH(int, findings);
        QVERIFY(writeFile(path("check.jxf"), content));
        const CliRun run = runCli({"check", path("check.jxf")});
        QCOMPARE(run.exit, exit);
        QVERIFY2((exit == 2 ? run.err : run.out).contains(says), qPrintable(run.out + run.err));
        const CliRun json = runCli({"check", "--json", path("check.jxf")});
        QCOMPARE(json.exit, exit);
        QCOMPARE(json.json().value("outcome").toString(),
                 QStringList({"intact", "damaged", "error"}).at(exit));
        if (findings >= 0)
            QCOMPARE(json.json().value("findings").toArray().size(), findings);
    }

    void compare_data()
    {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says");
        const QByteArray a = params();
        QTest::newRow("other line ends") << a << params("\n") << 0 << "identical";
        QTest::newRow("other record lengths and order")
            << a
            << hexRecord(0x0100, 0, "\x07") + "\n" + hexRecord(0x0000, 0, "\x01\x02") + "\n" +
                   hexRecord(0x0002, 0, "\x03\x04\x05\x06") + "\n" + kEnd + "\n"
            << 0 << "identical";
        QByteArray changed =
            params().replace(hexRecord(0x0004, 0, "\x05\x06"), hexRecord(0x0004, 0, "\x05\x16"));
        QTest::newRow("one changed byte") << a << changed << 1 << "0005 differ:";
        QTest::newRow("missing record")
            << a << params().replace(hexRecord(0x0100, 0, "\x07") + "\r\n", "") << 1
            << "0100 only in";
        QByteArray damaged = params();
        damaged[damaged.indexOf("0506") + 3] = '7';
        QTest::newRow("damaged record") << a << damaged << 1 << "line 2: damaged record";
    }
    void compare()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, exit);
        QFETCH(QString, says);
        QVERIFY(writeFile(path("a.jxf"), a) && writeFile(path("b.jxf"), b));
        const CliRun run = runCli({"compare", path("a.jxf"), path("b.jxf")});
        QCOMPARE(run.exit, exit);
        QVERIFY2(run.out.contains(says), qPrintable(run.out));
        const CliRun json = runCli({"compare", path("a.jxf"), path("b.jxf"), "--json"});
        QCOMPARE(json.json().value("outcome").toString(), exit ? "different" : "identical");
        QCOMPARE(json.json().value("findings").toArray().isEmpty(), exit == 0);
    }

    // A file of gigabytes is refused at once, whichever command meets it.
    void hugeFileIsRefusedUnread()
    {
        QFile huge(path("huge.jxf"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(4) << 30));
        huge.close();
        QVERIFY(writeFile(path("a.jxf"), params()));
        const auto lastRead = [this] {
            return QFileInfo(path("huge.jxf")).lastRead();
        };
        const QDateTime created = lastRead();
        for (const QStringList &arguments :
             {QStringList{"check", path("huge.jxf")},
              QStringList{"compare", path("a.jxf"), path("huge.jxf")}}) {
            const CliRun run = runCli(arguments);
            QCOMPARE(run.exit, 2);
            QVERIFY2(run.err.contains("too large"), qPrintable(run.err));
        }
        // Not one character was read: the file's access time is still its creation's.
        const QDateTime afterRuns = lastRead();
        QFile probe(path("huge.jxf"));
        QVERIFY(probe.open(QIODevice::ReadOnly) && probe.read(1).size() == 1);
        probe.close();
        if (lastRead() == created)
            QSKIP("this file system does not record reads in the access time");
        QCOMPARE(afterRuns, created);
    }

    void wrongUse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("no command") << QStringList() << "no command";
        QTest::newRow("unknown command") << QStringList{"load", "a"} << "load is no command";
        QTest::newRow("no port") << QStringList{"send", "a.jxf"} << "needs --port";
        QTest::newRow("COM9") << QStringList{"dump", "a", "--port", "COM9"} << "COM9 is no port";
        QTest::newRow("rate not offered")
            << QStringList{"send", "a", "--port", "COM1", "--baud", "115200"} << "115200";
        QTest::newRow("option of another command")
            << QStringList{"check", "a", "--port", "COM1"} << "check takes no --port";
        QTest::newRow("compare of one file") << QStringList{"compare", "a"} << "two files";
        QTest::newRow("negative start time-out")
            << QStringList{"dump", "a", "--port", "COM1", "--start-timeout", "-1"}
            << "--start-timeout";
        QTest::newRow("unknown option") << QStringList{"check", "a", "--fast"} << "fast";
    }
    void wrongUse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY(run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_clifiles.moc"
