// Where each COM number leads and what is there, and the mapping of a COM
// number to a device: COM links in a settings folder of the test's, real
// pseudo-terminals, and a machine's device information (sysfs, by-id links)
// laid out in a folder that stands for /.
#include "common/portholder.h"
#include "common/pty.h"
#include "common/unprivileged.h"
#include "transfer/portmap.h"
#include "transfer/portnames.h"
#include "transfer/serialports.h"

#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>

using SerialPorts::State;
Q_DECLARE_METATYPE(State)

namespace {
const char kAsNobody[] = "QUILLET_PORTS_AS_NOBODY";
const QString kByIdFtdi = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
const QString kByIdPty = "/dev/serial/by-id/usb-Test_Adapter_0001-if00-port0";
} // namespace

class TestSerialPorts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_root;   // stands for /
    QString m_folder; // the settings folder
    Pty m_pty;        // a terminal with a stable name in the tree
    Pty m_otherPty;   // one without

    void put(const QString &file, const QByteArray &content = {})
    {
        QVERIFY(QDir().mkpath(QFileInfo(m_root + file).path()));
        QFile out(m_root + file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
    }
    void link(const QString &target, const QString &file)
    {
        QVERIFY(QDir().mkpath(QFileInfo(m_root + file).path()));
        QVERIFY(QFile::link(target, m_root + file));
    }
    void usbAdapter(const QString &name, const QString &interface, const QStringList &attributes)
    {
        const QString adapter = "/sys/devices/pci0/usb1/" + interface.section(':', 0, 0);
        for (const QString &attribute : attributes)
            put(adapter + '/' + attribute.section('=', 0, 0), attribute.section('=', 1).toUtf8());
        put(adapter + '/' + interface + "/uevent");
        const bool below = name.startsWith("ttyUSB"); // usb-serial adds a level of its own
        if (below)
            put(adapter + '/' + interface + '/' + name + "/uevent");
        link("../../../devices/pci0/usb1/" + interface.section(':', 0, 0) + '/' + interface +
                 (below ? '/' + name : QString()),
             "/sys/class/tty/" + name + "/device");
        put("/dev/" + name);
    }
    QString resolve(QString path) const
    {
        return path.replace("@root", m_root)
            .replace("@folder", m_folder)
            .replace("@pty", m_pty.slave())
            .replace("@other", m_otherPty.slave());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_pty.isValid() && m_otherPty.isValid());
        m_root = QDir(m_dir.path()).canonicalPath() + "/root";
        m_folder = QDir(m_dir.path()).canonicalPath() + "/settings";
        usbAdapter("ttyUSB0", "1-2:1.0",
                   {"idVendor=0403", "idProduct=6001", "manufacturer=FTDI",
                    "product=FT232R USB UART", "serial=A1B2C3"});
        usbAdapter("ttyACM0", "1-3:1.0",
                   {"idVendor=2341", "idProduct=0043", "manufacturer=Arduino (www.arduino.cc)"});
        usbAdapter("ttyUSB1", "1-4:1.0", {"idVendor=067b", "idProduct=2303"});
        put("/sys/devices/platform/serial8250/uevent");
        for (const QString name : {"ttyS0", "ttyS1"}) {
            link("../../../devices/platform/serial8250", "/sys/class/tty/" + name + "/device");
            put("/sys/class/tty/" + name + "/type", name == "ttyS0" ? "4\n" : "0\n");
            put("/dev/" + name);
        }
        put("/sys/class/tty/tty0/uevent");
        link("../../ttyUSB0", kByIdFtdi);
        link(m_pty.slave(), kByIdPty);
    }
    void init() { QDir(m_folder).removeRecursively(); }

    // Every serial device appears once: on the COM number that leads to it,
    // or among the others, with what the system says it is.
    void devicesOfTheMachine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("where"); // COMn, other or nowhere
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("byId");
        const auto row = [](const char *name, const char *tty, const char *where,
                            const char *details, const QString &byId) {
            QTest::newRow(name) << QString(tty) << QString(where) << QString(details) << byId;
        };
        row("USB adapter mapped by its stable name", "ttyUSB0", "COM2",
            "USB FTDI FT232R USB UART, serial A1B2C3", "@root" + kByIdFtdi);
        row("USB adapter without product and serial", "ttyACM0", "other",
            "USB Arduino (www.arduino.cc)", "");
        row("USB adapter that names nothing", "ttyUSB1", "other", "USB 067b:2303", "");
        row("built-in port", "ttyS0", "other", "", "");
        row("built-in port without hardware", "ttyS1", "nowhere", "", "");
        row("virtual console", "tty0", "nowhere", "", "");
    }
    void devicesOfTheMachine()
    {
        QFETCH(QString, name);
        QFETCH(QString, where);
        QVERIFY(linkCom(m_folder, 2, m_root + kByIdFtdi));
        const SerialPorts::Listing listing = SerialPorts::list(m_folder, m_root);
        QList<SerialPorts::Device> found;
        QStringList places;
        for (const SerialPorts::ComPort &port : listing.comPorts) {
            if (port.device.path == m_root + "/dev/" + name)
                found.append(port.device), places.append(PortNames::comName(port.number));
        }
        for (const SerialPorts::Device &device : listing.others) {
            if (device.path == m_root + "/dev/" + name)
                found.append(device), places.append("other");
        }
        QCOMPARE(places, where == "nowhere" ? QStringList() : QStringList{where});
        if (found.isEmpty())
            return;
        QFETCH(QString, byId);
        QTEST(SerialPorts::details(found.first()), "details");
        QCOMPARE(found.first().byId, resolve(byId));
    }

    void comPortStates_data()
    {
        QTest::addColumn<QString>("target"); // where COM3's link leads
        QTest::addColumn<QString>("how");    // how another program has the pseudo-terminal
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("holder");
        const auto row = [](const char *name, const char *target, const char *how, State state,
                            const char *device, const char *holder) {
            QTest::newRow(name) << QString(target) << QString(how) << state << QString(device)
                                << QString(holder);
        };
        row("pseudo-terminal", "@pty", "", State::Present, "@pty", "");
        row("held by a serial program", "@pty", "holdport", State::Busy, "@pty", "holdport");
        row("open in another program", "@pty", "open", State::Busy, "@pty", "sleep");
        row("locked by another program", "@pty", "lock", State::Busy, "@pty", "sleep");
        row("lock of a program that ended", "@pty", "stale lock", State::Present, "@pty", "");
        row("link to nothing", "@root/gone", "", State::Missing, "@root/gone", "");
        row("link to a folder", "@root/dev", "", State::NotATerminal, "@root/dev", "");
        row("link that loops", "@folder/dosdevices/com3", "", State::Missing,
            "@folder/dosdevices/com3", "");
        row("device that is no terminal", "/dev/null", "", State::NotATerminal, "/dev/null", "");
    }
    void comPortStates()
    {
        QFETCH(QString, target);
        QFETCH(QString, how);
        QVERIFY(linkCom(m_folder, 3, resolve(target)));
        PortHolder holdport;
        QVERIFY(how != "holdport" || holdport.hold(m_pty.slave()));
        QProcess sleeping;
        if (how == "open")
            sleeping.setStandardInputFile(m_pty.slave());
        if (how == "open" || how == "lock") {
            sleeping.start("sleep", {"60"});
            QVERIFY(sleeping.waitForStarted());
        }
        // As a serial program leaves it, where the program's own port looks first.
        QFile lock("/var/lock/LCK.." + m_pty.slave().mid(5).replace('/', '_'));
        if (how.endsWith("lock")) {
            const qint64 pid = how == "lock" ? sleeping.processId() : INT_MAX;
            QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(QByteArray::number(pid) + "\n"));
            lock.close();
        }
        const SerialPorts::ComPort port = SerialPorts::comPorts(m_folder, m_root).at(2);
        lock.remove();
        QCOMPARE(port.link, PortNames::linkPath(3, m_folder));
        QFETCH(QString, device);
        QTEST(port.device.state, "state");
        QCOMPARE(port.device.path, resolve(device));
        QTEST(port.device.holder.section(',', 0, 0), "holder");
        sleeping.kill();
        sleeping.waitForFinished();
    }

    // Run again as nobody: a terminal of the group dialout names that group.
    void notPermittedNamesTheGroup()
    {
        if (qEnvironmentVariableIsSet(kAsNobody)) {
            const SerialPorts::Device device =
                SerialPorts::describe(qEnvironmentVariable(kAsNobody));
            QCOMPARE(SerialPorts::stateText(device), "not permitted (join the group dialout)");
            return;
        }
        const group *dialout = ::getgrnam("dialout");
        if (::geteuid() != 0 || !dialout)
            QSKIP("needs root and a group dialout to hand a terminal to that group");
        const QByteArray slave = QFile::encodeName(m_otherPty.slave());
        QVERIFY(::chown(slave, 0, dialout->gr_gid) == 0 && ::chmod(slave, 0660) == 0);
        QProcessEnvironment extra;
        extra.insert(kAsNobody, m_otherPty.slave());
        const Unprivileged::Run run = Unprivileged::runAsNobody("notPermittedNamesTheGroup", extra);
        QVERIFY2(run.finished && run.exitCode == 0, run.output.constData());
    }

    void mapAndUnmap_data()
    {
        QTest::addColumn<QString>("existing"); // COM4's link before, "file" for a plain file
        QTest::addColumn<QString>("device");   // mapped; empty to unmap
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("leadsTo"); // COM4's link target afterwards
        const auto row = [](const char *name, const QString &existing, const QString &device,
                            bool done, const QString &leadsTo) {
            QTest::newRow(name) << existing << device << done << leadsTo;
        };
        const QString stable = "@root" + kByIdPty;
        row("by its stable name", "", "@pty", true, stable);
        row("stable name given", "", stable, true, stable);
        row("terminal without one", "", "@other", true, "@other");
        row("replaces a link", "@root/gone", "@other", true, "@other");
        row("no terminal", "", "/dev/null", false, "");
        row("folder", "@root/gone", "@root/dev", false, "@root/gone");
        row("nothing", "", "@root/gone", false, "");
        row("file of the user's in the way", "file", "@pty", false, "");
        row("unmap", "@pty", "", true, "");
        row("unmap without a link", "", "", true, "");
        row("unmap leaves a file alone", "file", "", false, "");
    }
    void mapAndUnmap()
    {
        QFETCH(QString, existing);
        QFETCH(QString, device);
        QFETCH(bool, done);
        const QString link = PortNames::linkPath(4, m_folder);
        if (existing == "file")
            QVERIFY(QDir().mkpath(m_folder + "/dosdevices") && QFile(link).open(QFile::WriteOnly));
        else if (!existing.isEmpty())
            QVERIFY(linkCom(m_folder, 4, resolve(existing)));
        const PortMap::Result result = device.isEmpty()
                                           ? PortMap::unmap(4, m_folder)
                                           : PortMap::map(4, resolve(device), m_folder, m_root);
        QFETCH(QString, leadsTo);
        QVERIFY2(result.done == done, qPrintable(result.message));
        QCOMPARE(QFileInfo(link).symLinkTarget(), resolve(leadsTo));
        QCOMPARE(QFileInfo(link).isFile() && !QFileInfo(link).isSymLink(), existing == "file");
        if (done && !device.isEmpty())
            QCOMPARE(PortNames::deviceForPort(4, m_folder),
                     PortNames::deviceForPath(resolve(device)));
    }
};

QTEST_GUILESS_MAIN(TestSerialPorts)
#include "tst_serialports.moc"
