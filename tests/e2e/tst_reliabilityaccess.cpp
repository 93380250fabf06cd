// Ports, files and settings that cannot be used as they are, through the real
// windows: what the user is told, and that no file is changed that should not
// be. Permissions are in tst_reliabilityperms.
#include "app/modmain.h"
#include "common/procstats.h"
#include "common/wizardfixture.h"
#include "transfer/transferloop.h"
#include "ui/frmsplash.h"

#include <QDir>
#include <QFileDevice>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace PageOne;
using namespace Wizard;

namespace {

const QByteArray kStoredSettings = "2\r\nkept.jxf\r\n3\r\n4\r\n/\r\n";

bool makeLink(const QString &target, const QString &link)
{
    return QDir().mkpath(QFileInfo(link).absolutePath()) && QFile::link(target, link);
}

} // namespace

class TestReliabilityAccess : public QObject, public WizardFixture
{
    Q_OBJECT

private:
    // Puts what kind names where the settings file goes, below dir; returns
    // the folder to use as the settings folder (empty when that failed).
    static QString placeInTheWay(const QString &kind, const QTemporaryDir &dir)
    {
        const QString ini = dir.filePath("jxf.ini");
        bool made = false;
        if (kind == QLatin1String("folder")) {
            made = QDir().mkpath(ini + "/sub");
        } else if (kind == QLatin1String("fifo")) {
            made = ::mkfifo(qPrintable(ini), 0600) == 0;
        } else if (kind == QLatin1String("loop")) {
            made = QFile::link(ini, ini);
        } else if (kind == QLatin1String("link")) {
            made = writeFile(dir.filePath("elsewhere.ini"), kStoredSettings) &&
                   QFile::link(dir.filePath("elsewhere.ini"), ini);
        } else {
            // The settings folder itself is a plain file.
            return writeFile(dir.filePath("plain"), "x") ? dir.filePath("plain") : QString();
        }
        return made ? dir.path() : QString();
    }

private Q_SLOTS:
    void initTestCase() { setUpSuite(); }
    void init() { setUp(); }
    void cleanup()
    {
        tearDown();
        QDir(path("dosdevices")).removeRecursively();
    }

    void comLinkThatLeadsNowhere_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("state");
        QTest::newRow("to a missing device") << "/dev/no-such-tty"
                                             << "missing";
        QTest::newRow("to itself") << "com2"
                                   << "missing";
        QTest::newRow("to a folder") << "/tmp"
                                     << "not a terminal device";
        QTest::newRow("to a plain file") << "@plain"
                                         << "not a terminal device";
        QTest::newRow("to /dev/null") << "/dev/null"
                                      << "not a terminal device";
    }
    void comLinkThatLeadsNowhere()
    {
        QFETCH(QString, target);
        if (target == QLatin1String("@plain")) {
            target = path("plain.txt");
            QVERIFY(writeFile(target, "not a port"));
        }
        QVERIFY(makeLink(target, path("dosdevices/com2")));
        next(0, path("out.mmi"), 8, 1);
        QFETCH(QString, state);
        expectPageOneBack(
            serialMessage(PortNames::deviceForPort(2) + QStringLiteral(", ") + state));
        QVERIFY(!QFile::exists(path("out.mmi"))); // the file step never ran
        if (target == path("plain.txt"))
            QCOMPARE(readFile(target), QByteArray("not a port"));
    }

    void sendFileChangesBeforeTheStart_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("drivegets"); // "=": exactly the file as checked
        QTest::addColumn<int>("fault");
        QTest::newRow("removed") << "remove" << QByteArray("=") << int(TransferFault::None);
        QTest::newRow("replaced by another")
            << "replace" << QByteArray("=") << int(TransferFault::None);
        QTest::newRow("grown") << "grow" << QByteArray("=") << int(TransferFault::None);
        QTest::newRow("cut to half")
            << "shrink" << QByteArray("half") << int(TransferFault::FileShorter);
    }
    void sendFileChangesBeforeTheStart()
    {
        QFETCH(QString, change);
        QFETCH(QByteArray, drivegets);
        QFETCH(int, fault);
        const QByteArray checked = everyCarriedByte(8) + "\r\n:00000001FF\r\n";
        const QString file = path("params.jxf");
        QVERIFY(writeFile(file, checked));
        QVERIFY(startSim({"--receive", path("drive.jxf")}));
        QVERIFY(nextSendingAnyway(file));
        QVERIFY(frmMain2().isVisible());
        QCOMPARE(transferSession().state().lFileSize, qint32(checked.size()));

        if (change == QLatin1String("remove")) {
            QVERIFY(QFile::remove(file));
        } else if (change == QLatin1String("replace")) {
            QVERIFY(writeFile(path("other.jxf"), "other\r\n:00000001FF\r\n"));
            QVERIFY(::rename(qPrintable(path("other.jxf")), qPrintable(file)) == 0);
        } else if (change == QLatin1String("grow")) {
            QFile grown(file);
            QVERIFY(grown.open(QIODevice::Append));
            QCOMPARE(grown.write("appended later"), qint64(14));
        } else {
            QFile cut(file);
            QVERIFY(cut.resize(checked.size() / 2));
        }
        button(frmMain2(), "Next")->click();
        QVERIFY(ended());
        QVERIFY(m_sim->waitFor("CLOSED", 5000));
        const QByteArray arrived = readFile(path("drive.jxf"));
        if (fault == int(TransferFault::None)) {
            // The file was checked and opened on page 1: that is what is sent.
            QVERIFY(m_messages->shown.isEmpty());
            QCOMPARE(status(), QStringLiteral("File Transfer complete."));
            QCOMPARE(arrived, checked);
            QCOMPARE(transferSession().state().lByteCount, qint32(checked.size()));
        } else {
            QCOMPARE(m_messages->texts(), QStringList{transferFaultMessage(TransferFault(fault))});
            QCOMPARE(m_messages->shown.first().icon, MsgBox::Icon::Critical);
            QCOMPARE(status(), QStringLiteral("File Transfer stopped."));
            // Every character there was went to the port; the stop discards
            // what the port still held, which is not counted as sent.
            QCOMPARE(transferSession().state().lByteCount, arrived.size());
            QVERIFY(arrived.size() <= checked.size() / 2);
            QVERIFY(checked.startsWith(arrived));
        }
    }

    // A pipe would hold page 1's Next until some other program opened its
    // other end; a device would be read for as long as it gives, or take what
    // is received somewhere else. If the program does wait on a pipe, a
    // rescuer opens the other end after 3 s so that the test fails instead of
    // hanging.
    void fileThatIsNotAPlainFile_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("send from a pipe") << 2 << "@fifo" << kUnreadable;
        QTest::newRow("send from /dev/zero") << 2 << "/dev/zero" << kUnreadable;
        QTest::newRow("receive into a pipe") << 0 << "@fifo" << kNotWritable;
        QTest::newRow("receive into /dev/null") << 0 << "/dev/null" << kNotWritable;
        QTest::newRow("receive into /dev/full") << 1 << "/dev/full" << kNotWritable;
        QTest::newRow("receive into a terminal") << 0 << "@tty" << kNotWritable;
    }
    void fileThatIsNotAPlainFile()
    {
        QFETCH(int, type);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QVERIFY(startSim({"--idle"}));
        std::atomic<bool> done = false;
        std::atomic<bool> rescued = false;
        std::thread rescuer;
        if (target == QLatin1String("@tty")) {
            const QStringList ready = m_sim->lines().filter(QRegularExpression("^READY "));
            QVERIFY(!ready.isEmpty());
            target = ready.first().mid(6);
        }
        if (target == QLatin1String("@fifo")) {
            target = path("pipe");
            QFile::remove(target);
            QCOMPARE(::mkfifo(qPrintable(target), 0600), 0);
            rescuer = std::thread([&, fifo = QFile::encodeName(target)] {
                for (int tenths = 0; tenths < 30 && !done; ++tenths)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (done)
                    return;
                rescued = true;
                const int fd = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            });
        }
        const qint64 readBefore = ProcStats::charsRead();
        next(type, target);
        done = true;
        if (rescuer.joinable())
            rescuer.join();
        QVERIFY2(!rescued, "page 1's Next waited on a pipe");
        expectPageOneBack(message + kSelectAnother);
        QVERIFY(ProcStats::charsRead() - readBefore < 1024 * 1024);
        QVERIFY(portIsFree(1));
    }

    // Receiving empties the chosen file: one that holds something, such as
    // last week's backup of the drive, only when the user says so.
    void existingFileIsReplacedOnlyWhenAsked_data()
    {
        QTest::addColumn<QByteArray>("before"); // "-": no such file
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("yes");
        const QByteArray backup = "last week's backup\r\n";
        QTest::newRow("holds data, No") << backup << true << false;
        QTest::newRow("holds data, Yes") << backup << true << true;
        QTest::newRow("empty") << QByteArray() << false << true;
        QTest::newRow("new") << QByteArray("-") << false << true;
    }
    void existingFileIsReplacedOnlyWhenAsked()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, asked);
        QFETCH(bool, yes);
        const QByteArray dump = everyCarriedByte(4);
        QVERIFY(writeFile(path("drive.txt"), dump));
        QVERIFY(startSim({"--transmit", path("drive.txt")}));
        const QString target = path("backup.mmi");
        QFile::remove(target);
        if (before != "-")
            QVERIFY(writeFile(target, before));
        m_messages->answers.push_back(yes ? MsgBox::Result::Yes : MsgBox::Result::No);
        next(0, target);
        QCOMPARE(m_messages->shown.size(), asked ? 1 : 0);
        if (asked) {
            const MsgBox::Request &question = m_messages->shown.first();
            QCOMPARE(question.text, target + " already exists.\rDo you want to replace it?");
            QCOMPARE(question.icon, MsgBox::Icon::Warning);
            QCOMPARE(question.buttons, MsgBox::Buttons::YesNo);
            QVERIFY(question.defaultIsNo);
            QCOMPARE(question.title, QStringLiteral("Quillet"));
        }
        if (!yes) {
            QVERIFY(frmMain1().abort && frmMain1().isVisible());
            QVERIFY(!transferSession().portOpen());
            QCOMPARE(readFile(target), before);
            return;
        }
        QVERIFY(waitForReceive(20000));
        QCOMPARE(m_messages->shown.size(), asked ? 1 : 0);
        QCOMPARE(readFile(target), dump + '\x1a');
    }

    void hugeSparseFileIsRefusedUnread()
    {
        QVERIFY(startSim({"--idle"}));
        const QString file = path("huge.jxf");
        QFile huge(file);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(1) << 31)); // 2 GiB, one past the largest count
        QVERIFY(huge.seek(huge.size() - 13));
        QCOMPARE(huge.write(":00000001FF\r\n"), qint64(13));
        huge.close();
        const qint64 readBefore = ProcStats::charsRead();
        QVERIFY(readBefore >= 0);
        next(2, file);
        const qint64 read = ProcStats::charsRead() - readBefore;
        expectPageOneBack(QStringLiteral("Selected file is too large to send.") + kSelectAnother);
        // Refused on its size: far less than one scan chunk was read.
        QVERIFY2(read < 1024 * 1024, qPrintable(QString::number(read)));
        QVERIFY(portIsFree(1));
        QVERIFY(QFile::remove(file));
    }

    // What is found where the settings file should be. "saved": where the
    // settings are written at the end ("" where nothing can be written).
    void settingsFileOutOfTheOrdinary_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<QString>("saved");
        QTest::newRow("a folder") << "folder" << false << "";
        QTest::newRow("below a plain file") << "underfile" << false << "";
        // A pipe, or a link that leads nowhere, is replaced by a working file;
        // a link to the settings elsewhere is kept and written through.
        QTest::newRow("a pipe no one writes to") << "fifo" << false << "jxf.ini";
        QTest::newRow("a link to itself") << "loop" << false << "jxf.ini";
        QTest::newRow("a link to the file elsewhere") << "link" << true << "elsewhere.ini";
    }
    void settingsFileOutOfTheOrdinary()
    {
        QFETCH(QString, kind);
        QFETCH(bool, restored);
        QFETCH(QString, saved);
        QTemporaryDir dir;
        const QString ini = dir.filePath("jxf.ini");
        const QString windir = placeInTheWay(kind, dir);
        QVERIFY(!windir.isEmpty());
        qputenv("windir", windir.toLocal8Bit());
        const QString startDir = QDir::currentPath();
        Main(); // must not wait for anything, nor fail
        frmSplash().DismissSplash();
        QCOMPARE(frmMain1().txtFile()->text(), restored ? "kept.jxf" : QString());
        frmMain1().txtFile()->setText("chosen.jxf");
        button(frmMain1(), "Cancel")->click();
        qputenv("windir", m_windir.path().toLocal8Bit());
        QDir::setCurrent(startDir);
        QCOMPARE(Forms::loadedCount(), 0);
        QVERIFY(m_messages->shown.isEmpty()); // the user is not troubled either way

        if (!saved.isEmpty()) {
            const QByteArray expected = (restored ? "2" : "0") + QByteArray("\r\nchosen.jxf\r\n");
            QVERIFY(readFile(dir.filePath(saved)).startsWith(expected));
            QCOMPARE(QFileInfo(ini).isSymLink(), kind == QLatin1String("link"));
            return;
        }
        // Whatever stood in the way is still there, as it was.
        QCOMPARE(QFileInfo(ini).isDir(), kind == QLatin1String("folder"));
        if (kind == QLatin1String("folder"))
            QCOMPARE(QDir(ini).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                     QStringList{"sub"});
        if (kind == QLatin1String("underfile"))
            QCOMPARE(readFile(windir), QByteArray("x"));
    }
};

QTEST_MAIN(TestReliabilityAccess)
#include "tst_reliabilityaccess.moc"
