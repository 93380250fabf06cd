// What the user sees when permissions refuse the port, a file or the settings,
// through the real windows. These tests run as root, which passes every
// permission check, so each case runs again in a child process as the user
// nobody, and the parent checks that root's files came through unchanged.
#include "app/modmain.h"
#include "common/unprivileged.h"
#include "common/wizardfixture.h"
#include "ui/frmsplash.h"

#include <QDir>
#include <QFileDevice>
#include <QRegularExpression>

#include <unistd.h>

using namespace PageOne;
using namespace Wizard;

namespace {

const QByteArray kStoredSettings = "2\r\nkept.jxf\r\n3\r\n4\r\n/\r\n";
// What the end of the run writes after the file box was changed; shorter than
// a stored file with a line past the fifth, which must not survive.
const QByteArray kSavedSettings = "2\r\nchanged.jxf\r\n3\r\n4\r\n/\r\n";
const QByteArray kSixthLine = "a sixth line, read by no one\r\n";
constexpr QFileDevice::Permissions kOwnerRead = QFileDevice::ReadOwner;
constexpr QFileDevice::Permissions kOwnerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerAll = kOwnerReadWrite | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions kOthersRead = QFileDevice::ReadOther;
constexpr QFileDevice::Permissions kEveryoneReadWrite = kOwnerReadWrite | QFileDevice::ReadGroup |
                                                        QFileDevice::WriteGroup | kOthersRead |
                                                        QFileDevice::WriteOther;

bool makeLink(const QString &target, const QString &link)
{
    return QDir().mkpath(QFileInfo(link).absolutePath()) && QFile::link(target, link);
}

} // namespace

class TestReliabilityPerms : public QObject, public WizardFixture
{
    Q_OBJECT

private:
    // The child's half of refusedByPermissions, run as nobody.
    void runUnprivilegedCase(const QString &which);
    void startAndEndWithSettings(bool readable);

private Q_SLOTS:
    void initTestCase() { setUpSuite(); }
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void refusedByPermissions_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("port device without access") << "device";
        QTest::newRow("file to send without read access") << "send";
        QTest::newRow("file to receive into without write access") << "receive";
        QTest::newRow("settings file without read access") << "settings-unreadable";
        QTest::newRow("settings file that cannot be replaced") << "settings-readonly";
        QTest::newRow("settings folder read-only, settings file writable") << "settings-inplace";
    }
    void refusedByPermissions();

    // Run only as nobody, by refusedByPermissions.
    void asNobody()
    {
        const QString which = qEnvironmentVariable("QUILLET_NOBODY_CASE");
        if (which.isEmpty() || ::getuid() == 0)
            QSKIP("run as nobody by refusedByPermissions");
        runUnprivilegedCase(which);
    }
};

void TestReliabilityPerms::refusedByPermissions()
{
    if (::getuid() != 0)
        QSKIP("needs root to start a child as another user");
    QFETCH(QString, which);
    // A folder nobody can read but not write, holding a file of root's.
    QTemporaryDir shared;
    QVERIFY(QFile::setPermissions(shared.path(), kOwnerAll | kOthersRead | QFileDevice::ExeOther));
    const QString name = which.startsWith("settings") ? "jxf.ini" : "subject";
    const QString file = shared.filePath(name);
    const bool inPlace = which == QLatin1String("settings-inplace");
    const QByteArray content = which.startsWith("settings")
                                   ? kStoredSettings + (inPlace ? kSixthLine : QByteArray())
                                   : QByteArray("data\r\n:00000001FF\r\n");
    QVERIFY(writeFile(file, content));
    const bool ownerOnly = which == QLatin1String("send") || which == "settings-unreadable";
    QVERIFY(QFile::setPermissions(file, inPlace     ? kEveryoneReadWrite
                                        : ownerOnly ? kOwnerReadWrite
                                                    : kOwnerRead | kOthersRead));
    QProcessEnvironment env;
    env.insert("QUILLET_NOBODY_CASE", which);
    env.insert("QUILLET_NOBODY_FILE", file);
    env.insert("QUILLET_NOBODY_DIR", shared.path());
    if (which == QLatin1String("device")) {
        // A terminal of root's, as the system leaves it: read and write for
        // root, write for the tty group.
        QVERIFY(startSim({"--idle"}));
        const QStringList ready = m_sim->lines().filter(QRegularExpression("^READY "));
        QVERIFY(!ready.isEmpty());
        const QString device = ready.first().mid(6);
        QVERIFY(QFileInfo(device).exists());
        QVERIFY(!QFileInfo(device).permission(QFileDevice::ReadOther));
        env.insert("QUILLET_NOBODY_FILE", device);
    }
    const Unprivileged::Run run = Unprivileged::runAsNobody("asNobody", env);
    QVERIFY(run.finished);
    QVERIFY2(run.exitCode == 0 && run.output.contains("PASS   : TestReliabilityPerms::asNobody"),
             run.output.constData());
    // Nothing the user could not change was changed; a file the user may
    // write holds the new settings, whole, though no new file could be made.
    QCOMPARE(readFile(file), inPlace ? kSavedSettings : content);
    QCOMPARE(QDir(shared.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{name});
}

void TestReliabilityPerms::runUnprivilegedCase(const QString &which)
{
    const QString subject = qEnvironmentVariable("QUILLET_NOBODY_FILE");
    if (which == QLatin1String("device")) {
        QVERIFY(makeLink(subject, path("dosdevices/com1")));
        next(0, path("out.mmi"));
        expectPageOneBack(serialMessage(subject + QStringLiteral(", not permitted")));
        return;
    }
    if (which.startsWith("settings")) {
        startAndEndWithSettings(which != QLatin1String("settings-unreadable"));
        return;
    }
    QVERIFY(startSim({"--idle"}));
    if (which == QLatin1String("send")) {
        next(2, subject);
        expectPageOneBack(kUnreadable + kSelectAnother);
    } else {
        next(0, subject);
        expectPageOneBack(kNotWritable + kSelectAnother);
    }
    QVERIFY(portIsFree(1));
}

void TestReliabilityPerms::startAndEndWithSettings(bool readable)
{
    qputenv("windir", qgetenv("QUILLET_NOBODY_DIR"));
    Main();
    frmSplash().DismissSplash();
    FrmMain1 &page1 = frmMain1();
    QCOMPARE(page1.txtFile()->text(), readable ? QStringLiteral("kept.jxf") : QString());
    QCOMPARE(page1.cboPort()->currentIndex(), readable ? 3 : 0);
    page1.txtFile()->setText("changed.jxf");
    QTest::keyClick(&page1, Qt::Key_Escape);
    // Whether the save succeeds or fails, the program ends without a word.
    QCOMPARE(Forms::loadedCount(), 0);
    QVERIFY(m_messages->shown.isEmpty());
}

QTEST_MAIN(TestReliabilityPerms)
#include "tst_reliabilityperms.moc"
