#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeFile(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("jxf.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write test settings file");
        return path;
    }

private Q_SLOTS:
    void composeIsFiveCrLfLines()
    {
        SettingsToSave values{1, QStringLiteral("/data/drive1.jxf"), 0, 5, QStringLiteral("/data")};
        QCOMPARE(SettingsFile::compose(values),
                 QByteArray("1\r\n/data/drive1.jxf\r\n0\r\n5\r\n/data\r\n"));
        values.transferIndex = -1;
        values.fileName.clear();
        QCOMPARE(SettingsFile::compose(values), QByteArray("-1\r\n\r\n0\r\n5\r\n/data\r\n"));
    }

    void roundTrip()
    {
        const QString path = m_dir.filePath(QStringLiteral("sub/jxf.ini"));
        const SettingsToSave values{2, QStringLiteral("/home/eng/Läufer 7.jxf"), 7, 8,
                                    m_dir.path()};
        QVERIFY(SettingsFile::write(path, values));
        const auto stored = SettingsFile::read(path);
        QVERIFY(stored);
        QCOMPARE(stored->transferIndex, std::optional<qint16>(2));
        QCOMPARE(stored->fileName, std::optional<QString>(values.fileName));
        QCOMPARE(stored->portIndex, std::optional<qint16>(7));
        QCOMPARE(stored->baudIndex, std::optional<qint16>(8));
        QCOMPARE(stored->directory, std::optional<QString>(m_dir.path()));
    }

    void savingTwiceGivesTheSameFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("twice.ini"));
        const SettingsToSave values{0, QStringLiteral("a"), 1, 2, QStringLiteral("/tmp")};
        QVERIFY(SettingsFile::write(path, values));
        QFile first(path);
        QVERIFY(first.open(QIODevice::ReadOnly));
        const QByteArray once = first.readAll();
        first.close();
        QVERIFY(SettingsFile::write(path, values));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), once);
    }

    void aFailedSaveLeavesTheOldFile()
    {
        // The folder of the file is a plain file: nothing can be created there,
        // and the save must report it rather than pretend.
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(!SettingsFile::write(blocker + QStringLiteral("/jxf.ini"), SettingsToSave{}));
        QVERIFY(!SettingsFile::write(QStringLiteral("/dev/full/jxf.ini"), SettingsToSave{}));
    }

    void missingOrUnreadableFileGivesNothing()
    {
        QVERIFY(!SettingsFile::read(m_dir.filePath(QStringLiteral("absent.ini"))));
        QVERIFY(!SettingsFile::read(m_dir.path())); // a directory
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("transfer"); // -2: skipped
        QTest::addColumn<QString>("file"); // "<none>": skipped
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("dir");
        const QString none = QStringLiteral("<none>");
        QTest::newRow("typical") << QByteArray(
                                        "1\r\nC:\\Data\\drive1.jxf\r\n0\r\n5\r\nC:\\Data\r\n")
                                 << 1 << QStringLiteral("C:\\Data\\drive1.jxf") << 0 << 5
                                 << QStringLiteral("C:\\Data");
        QTest::newRow("one line") << QByteArray("2\r\n") << 2 << none << -2 << -2 << none;
        QTest::newRow("no line end") << QByteArray("2") << 2 << none << -2 << -2 << none;
        QTest::newRow("empty path line")
            << QByteArray("0\r\n\r\n3\r\n") << 0 << QString() << 3 << -2 << none;
        QTest::newRow("minus one") << QByteArray("-1\r\nx\r\n-1\r\n-1\r\n") << -1
                                   << QStringLiteral("x") << -1 << -1 << none;
        QTest::newRow("bad number keeps its place")
            << QByteArray("abc\r\nf\r\n9x\r\n 4 \r\n/d\r\n") << -2 << QStringLiteral("f") << -2 << 4
            << QStringLiteral("/d");
        QTest::newRow("out of 16 bits") << QByteArray("99999\r\nf\r\n-40000\r\n32767\r\n") << -2
                                        << QStringLiteral("f") << -2 << 32767 << none;
        QTest::newRow("LF only") << QByteArray("1\nf\n2\n3\n/d\n") << 1 << QStringLiteral("f") << 2
                                 << 3 << QStringLiteral("/d");
        QTest::newRow("CR only") << QByteArray("1\rf\r2\r3\r/d\r") << 1 << QStringLiteral("f") << 2
                                 << 3 << QStringLiteral("/d");
        QTest::newRow("lines past the fifth are not read")
            << QByteArray("0\r\nf\r\n1\r\n2\r\n/d\r\n7\r\n8\r\n") << 0 << QStringLiteral("f") << 1
            << 2 << QStringLiteral("/d");
        QTest::newRow("empty file") << QByteArray() << -2 << none << -2 << -2 << none;
    }

    void lines()
    {
        QFETCH(QByteArray, bytes);
        const auto stored = SettingsFile::read(writeFile(bytes));
        QVERIFY(stored);
        const auto index = [](const std::optional<qint16> &v) {
            return v ? int(*v) : -2;
        };
        const auto text = [](const std::optional<QString> &v) {
            return v ? *v : QStringLiteral("<none>");
        };
        QTEST(index(stored->transferIndex), "transfer");
        QTEST(text(stored->fileName), "file");
        QTEST(index(stored->portIndex), "port");
        QTEST(index(stored->baudIndex), "baud");
        QTEST(text(stored->directory), "dir");
    }

    void hostileFilesNeitherCrashNorHang()
    {
        QByteArray binary(256 * 1024, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 131) & 0xff);
        QVERIFY(SettingsFile::read(writeFile(binary)));

        const QByteArray megaLine = "0\r\n" + QByteArray(1024 * 1024, 'x') + "\r\n3\r\n";
        const auto stored = SettingsFile::read(writeFile(megaLine));
        QVERIFY(stored);
        QCOMPARE(stored->fileName->size(), 1024 * 1024);
        QCOMPARE(*stored->portIndex, qint16(3));

        const auto invalidUtf8 = SettingsFile::read(writeFile("0\r\n/tmp/\xff\xfe\xc3(\r\n1\r\n"));
        QVERIFY(invalidUtf8 && invalidUtf8->fileName);
        QCOMPARE(*invalidUtf8->portIndex, qint16(1));
    }

    // Where a save goes, and that the next start reads it back from there;
    // the file not chosen keeps what it held.
    void savedWhereTheNextStartReads_data()
    {
        QTest::addColumn<QString>("shared");   // absent, present or blocked
        QTest::addColumn<QString>("personal"); // none, absent, present or blocked
        QTest::addColumn<QString>("written");  // shared, personal or nothing
        QTest::newRow("no personal location") << "absent"
                                              << "none"
                                              << "shared";
        QTest::newRow("shared writable") << "present"
                                         << "absent"
                                         << "shared";
        QTest::newRow("shared refused") << "blocked"
                                        << "absent"
                                        << "personal";
        QTest::newRow("personal in use") << "present"
                                         << "present"
                                         << "personal";
        QTest::newRow("nowhere, no personal") << "blocked"
                                              << "none"
                                              << "nothing";
        QTest::newRow("nowhere") << "blocked"
                                 << "blocked"
                                 << "nothing";
    }

    void savedWhereTheNextStartReads()
    {
        QFETCH(QString, shared);
        QFETCH(QString, personal);
        QFETCH(QString, written);
        const QTemporaryDir dir;
        const auto place = [&](const QString &name, const QString &state) {
            if (state == QLatin1String("none"))
                return QString();
            const QString path = dir.filePath(name + QStringLiteral("/jxf.ini"));
            if (state == QLatin1String("blocked"))
                QFile(dir.filePath(name))
                    .open(QIODevice::WriteOnly); // a file where the folder goes
            else if (state == QLatin1String("present") && !SettingsFile::write(path, {}))
                qFatal("cannot write test settings file");
            return path;
        };
        const QString paths[] = {place(QStringLiteral("shared"), shared),
                                 place(QStringLiteral("personal"), personal)};
        const SettingsToSave values{2, QStringLiteral("sent.jxf"), 3, 4, dir.path()};
        const QString result = SettingsFile::save(paths[0], paths[1], values);

        const QString expected = written == QLatin1String("shared")     ? paths[0]
                                 : written == QLatin1String("personal") ? paths[1]
                                                                        : QString();
        QCOMPARE(result, expected);
        for (const QString &path : paths) {
            const auto stored = SettingsFile::read(path);
            QCOMPARE(stored && stored->transferIndex == qint16(2),
                     !path.isEmpty() && path == expected);
        }
        if (!expected.isEmpty())
            QCOMPARE(SettingsFile::readPath(paths[0], paths[1]), expected);
    }

    void locationFollowsWindir()
    {
        const QByteArray saved = qgetenv("windir");
        qputenv("windir", m_dir.path().toLocal8Bit());
        QCOMPARE(SettingsFile::path(), m_dir.path() + QStringLiteral("/jxf.ini"));
        qunsetenv("windir");
        qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
        QCOMPARE(SettingsFile::path(), m_dir.path() + QStringLiteral("/quillet/jxf.ini"));
        qunsetenv("XDG_CONFIG_HOME");
        if (!saved.isNull())
            qputenv("windir", saved);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
