// quillet-cli's check and compare on small files, its answer to wrong use, its version.
#include "clirun.h"

#include "common/unprivileged.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

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
        QTest::newRow("end record after the end of data")
            << params().insert(params().indexOf(kEnd), '\x1a') << 1 << "no end record" << 1;
        QTest::newRow("records after the end record, a note")
            << params() + hexRecord(0x0200, 0, "\x08") + "\r\n"
            << 0 << "line 5: 1 record after the end record is not used" << 1;
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
        QTest::newRow("damaged record") << a << damaged << 1 << "b.jxf line 2: wrong checksum";
        QTest::newRow("start address, a note")
            << a << hexRecord(0, 5, "\x12\x34\x56\x78") + "\r\n" + a << 0
            << "start address (not parameter data): " + path("a.jxf") + " none, " + path("b.jxf") +
                   " 12345678";
        QByteArray everyOther = params();
        for (quint32 address = 0x200; address < 0x400; address += 2)
            everyOther.prepend(hexRecord(address, 0, "\x01") + "\r\n");
        QTest::newRow("only in one file at every other address")
            << a << everyOther << 1 << "156 more range(s) not listed";
        QTest::newRow("data past 64 KiB")
            << a
            << params().replace(kEnd, hexRecord(0, 4, QByteArray::fromHex("0001")) + "\r\n" +
                                          hexRecord(0xFFFE, 0, "\x07\x07\x07") + "\r\n" + kEnd)
            << 1 << "0001FFFE-00020000 only in";
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
        // Each line of the text is a JSON finding, its addresses written alike.
        const QJsonArray findings = json.json().value("findings").toArray();
        QCOMPARE(findings.size(), run.out.count('\n') - (exit ? 0 : 1));
        for (const QJsonValue &finding : findings) {
            const QJsonObject object = finding.toObject();
            for (const char *field : {"first", "last", "a", "b", "what"})
                QVERIFY2(run.out.contains(object.value(QLatin1String(field)).toString()),
                         qPrintable(run.out));
        }
    }

    // One row for each kind of damage: check and a compare with the sound
    // file both name it, on its line, and the windows ask before a send (see
    // tst_integrity).
    void damage_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("says");
        const QByteArray first = hexRecord(0x0000, 0, "\x01\x02\x03\x04");
        const auto second = [](const QByteArray &line) {
            QByteArray file = params();
            return file.insert(file.indexOf("\r\n") + 2, line + "\r\n");
        };
        QTest::newRow("lost ':'") << params().mid(1) << "line 1: not a record";
        QTest::newRow("blank before ':'") << " " + params() << "line 1: not a record";
        QTest::newRow("tab before ':'") << "\t" + params() << "line 1: not a record";
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + params() << "line 1: not a record";
        QTest::newRow("text between records") << second("JXF 1.0") << "line 2: not a record";
        QTest::newRow("type 06") << second(hexRecord(0, 6, "\x01"))
                                 << "line 2: record of unknown type 06";
        QTest::newRow("01 with data") << second(hexRecord(0, 1, "\x01"))
                                      << "line 2: record of type 01 with 1 data byte instead of 0";
        QTest::newRow("02 with 3 data bytes") << second(hexRecord(0, 2, "\x01\x02\x03"))
                                              << "line 2: record of type 02 with 3 data bytes";
        QTest::newRow("04 with 1 data byte")
            << second(hexRecord(0, 4, "\x01"))
            << "line 2: record of type 04 with 1 data byte instead of 2";
        QTest::newRow("03 with 2 data bytes")
            << second(hexRecord(0, 3, "\x01\x02"))
            << "line 2: record of type 03 with 2 data bytes instead of 4";
        QTest::newRow("05 with 5 data bytes") << second(hexRecord(0, 5, "\x01\x02\x03\x04\x05"))
                                              << "line 2: record of type 05 with 5";
        QTest::newRow("02 at address 0010") << second(hexRecord(0x10, 2, "\x01\x02"))
                                            << "line 2: record of type 02 with address field 0010";
        QTest::newRow("04 at address 0001") << second(hexRecord(0x01, 4, "\x01\x02"))
                                            << "line 2: record of type 04 with address field 0001";
        QTest::newRow("05 at address 0001") << second(hexRecord(0x01, 5, "\x01\x02\x03\x04"))
                                            << "line 2: record of type 05 with address field 0001";
        QTest::newRow("lower-case end record")
            << params().replace(kEnd, ":00000001ff") << "line 4: end record other than :00000001FF";
        QTest::newRow("no end record")
            << params().replace(kEnd, "") << ": no end record (:00000001FF)";
        QTest::newRow("an address given two values")
            << second(hexRecord(0x0002, 0, "\x09")) << "line 2: gives address 0002 another value";
        QTest::newRow("record cut short")
            << second(first.chopped(3)) << "line 2: its length does not match";
    }
    void damage()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, says);
        QVERIFY(writeFile(path("a.jxf"), params()) && writeFile(path("b.jxf"), content));
        const CliRun check = runCli({"check", path("b.jxf")});
        QCOMPARE(check.exit, 1);
        QVERIFY2(check.out.contains(path("b.jxf") + (says.startsWith(':') ? "" : " ") + says),
                 qPrintable(check.out));
        const CliRun compare = runCli({"compare", path("a.jxf"), path("b.jxf")});
        QCOMPARE(compare.exit, 1);
        QVERIFY2(compare.out.contains(path("b.jxf") + (says.startsWith(':') ? "" : " ") + says),
                 qPrintable(compare.out));
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
        // A script that asked for JSON gets its one object all the same.
        const CliRun json = runCli(arguments << "--json");
        QCOMPARE(json.exit, 2);
        QCOMPARE(json.out.count('\n'), 1);
        QCOMPARE(json.json().value("outcome").toString(), "error");
        QVERIFY2(json.json().value("message").toString().contains(says), qPrintable(json.out));
    }

    // The build's own version, on standard output alone, whatever else is on the line.
    void version_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--version") << QStringList{"--version"};
        QTest::newRow("-v") << QStringList{"-v"};
        QTest::newRow("after a command") << QStringList{"check", "a.jxf", "--version"};
    }
    void version()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out, "quillet-cli " QUILLET_PROJECT_VERSION "\n");
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    }

    // Each file that cannot be used says why in its own words, text and JSON.
    void unusableFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("says");
        const QString notPlain = "not a plain file (a pipe, a device or a socket)";
        QTest::newRow("no such file") << "none.jxf"
                                      << "there is no such file";
        QTest::newRow("folder") << "folder"
                                << "a folder, not a file";
        QTest::newRow("pipe") << "pipe" << notPlain;
        QTest::newRow("device") << "/dev/null" << notPlain;
        QTest::newRow("empty") << "empty.jxf"
                               << "the file is empty";
        QTest::newRow("unreadable") << "locked.jxf"
                                    << "the file cannot be read (Permission denied)";
    }
    void unusableFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, says);
        QVERIFY(writeFile(path("empty.jxf"), {}) && QDir(m_dir.path()).mkpath("folder"));
        QVERIFY(QFile::exists(path("pipe")) || ::mkfifo(qPrintable(path("pipe")), 0600) == 0);
        QVERIFY(QFile::exists(path("locked.jxf")) ||
                (writeFile(path("locked.jxf"), params()) &&
                 QFile::setPermissions(path("locked.jxf"), {})));
        const QString file = name.startsWith('/') ? name : path(name);
        const QTemporaryDir reachable;
        QString cli = qEnvironmentVariable("QUILLET_CLI");
        if (::geteuid() == 0) {
            cli = Unprivileged::copyForNobody(reachable, cli);
            QVERIFY(!cli.isEmpty());
        }
        for (const QStringList &arguments :
             {QStringList{"check", file}, QStringList{"compare", file, file, "--json"}}) {
            QProcess process;
            // Root reads any file: the command runs as nobody, in a folder it may enter.
            if (::geteuid() == 0) {
                QVERIFY(QFile::setPermissions(m_dir.path(),
                                              QFileDevice::ExeOther | QFileDevice::ReadOwner |
                                                  QFileDevice::WriteOwner | QFileDevice::ExeOwner));
                process.setChildProcessModifier([] {
                    if (::setgroups(0, nullptr) != 0 || ::setgid(Unprivileged::kNoGroup) != 0 ||
                        ::setuid(Unprivileged::kNobody) != 0)
                        ::_exit(125);
                });
            }
            process.start(cli, arguments);
            const CliRun run = finishCli(process);
            QCOMPARE(run.exit, 2);
            if (arguments.contains("--json"))
                QCOMPARE(run.json().value("message").toString(), file + ": " + says);
            else
                QCOMPARE(run.err, "quillet-cli: " + file + ": " + says + "\n");
        }
    }

    // A name that is no valid text still names the file: it is opened, and
    // printed as it was given ("\udcff" in JSON, the byte's escape).
    void nameThatIsNoText()
    {
        const QByteArray name = QFile::encodeName(path("bad")) + "\xff.jxf";
        const QByteArray content = params();
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
        for (const QString &json : {QString(), QStringLiteral("--json")}) {
            QProcess process;
            process.start("/bin/sh", {"-c", "exec \"$0\" check \"$1$(printf '\\377').jxf\" $2",
                                      qEnvironmentVariable("QUILLET_CLI"), path("bad"), json});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.exitCode(), 0);
            const QByteArray out = process.readAllStandardOutput();
            if (json.isEmpty()) {
                QCOMPARE(out, name + ": intact, 4 record(s)\n");
            } else {
                const QString file = QJsonDocument::fromJson(out).object().value("file").toString();
                QCOMPARE(file, path("bad") + QChar(0xDCFF) + ".jxf");
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_clifiles.moc"
