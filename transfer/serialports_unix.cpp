// The serial devices as Linux and other Unix systems describe them: device
// nodes, sysfs, /dev/serial/by-id, lock files and the programs in /proc.
#include "transfer/serialports.h"

#include "transfer/portlock_posix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace SerialPorts::Platform {

namespace {

// A file of the system's, such as a sysfs attribute, as one trimmed line.
QString readLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readLine(4096)).trimmed();
}

QString ttyFolder(const QString &root, const QString &name)
{
    return root + QStringLiteral("/sys/class/tty/") + name;
}

// A port of the machine's own whose UART the system did not find: its node
// is there, yet nothing answers behind it.
bool hasNoHardware(const QString &root, const QString &name)
{
    return readLine(ttyFolder(root, name) + QStringLiteral("/type")) == QLatin1String("0");
}

std::optional<Usb> usbOf(const QString &root, const QString &name)
{
    QString folder =
        QFileInfo(ttyFolder(root, name) + QStringLiteral("/device")).canonicalFilePath();
    // The terminal hangs below the adapter's interface, the interface below the adapter.
    for (int up = 0; up < 3 && !folder.isEmpty(); ++up) {
        const QDir dir(folder);
        if (QFileInfo::exists(dir.filePath(QStringLiteral("idVendor")))) {
            const auto read = [&dir](const char *file) {
                return readLine(dir.filePath(QLatin1String(file)));
            };
            return Usb{read("manufacturer"), read("product"), read("serial"), read("idVendor"),
                       read("idProduct")};
        }
        folder = QFileInfo(folder).path();
    }
    return std::nullopt;
}

QString stableName(const QString &device, const QString &root)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (canonical.isEmpty())
        return QString();
    const QDir byId(root + QStringLiteral("/dev/serial/by-id"));
    const auto entries =
        byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.canonicalFilePath() == canonical)
            return entry.absoluteFilePath();
    }
    return QString();
}

// Whether the system's table of terminal drivers claims the device number.
// Without the table every character device passes.
bool isTerminal(dev_t number)
{
#ifdef Q_OS_LINUX
    QFile table(QStringLiteral("/proc/tty/drivers"));
    if (!table.open(QIODevice::ReadOnly))
        return true;
    // "serial  /dev/ttyS  4  64-111  serial": name, node, major, minors, kind.
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields.at(2).toUInt() != major(number))
            continue;
        const QList<QByteArray> minors = fields.at(3).split('-');
        if (minor(number) >= minors.first().toUInt() && minor(number) <= minors.last().toUInt())
            return true;
    }
    return false;
#else
    Q_UNUSED(number);
    return true;
#endif
}

// The group whose members may use the device, and whether the account is one
// of them already (its session then predates joining).
void explainRefusal(const struct stat &node, Device &device)
{
    constexpr mode_t kReadWrite = S_IRGRP | S_IWGRP;
    if (node.st_gid == 0 || (node.st_mode & kReadWrite) != kReadWrite)
        return;
    const group *owner = ::getgrgid(node.st_gid);
    if (!owner)
        return;
    device.group = QString::fromLocal8Bit(owner->gr_name);
    const QByteArray user = [] {
        const passwd *account = ::getpwuid(::geteuid());
        return account ? QByteArray(account->pw_name) : QByteArray();
    }();
    for (char **member = owner->gr_mem; member && *member && !user.isEmpty(); ++member)
        device.loginAgain = device.loginAgain || user == *member;
}

// The program whose lock file names the device; a lock left by a program
// that has ended does not count, as the next open takes it over.
pid_t lockHolder(const QString &device)
{
    for (const QString &folder : PortLock::folders()) {
        if (const pid_t pid = PortLock::holder(folder, device))
            return pid;
    }
    return 0;
}

void addOpenDevices(pid_t pid, QHash<dev_t, pid_t> &open)
{
    const QByteArray folder = "/proc/" + QByteArray::number(pid) + "/fd";
    DIR *descriptors = ::opendir(folder.constData());
    if (!descriptors)
        return; // another account's program: not this one's to see
    while (const dirent *entry = ::readdir(descriptors)) {
        struct stat node
        {};
        if (entry->d_name[0] != '.' &&
            ::fstatat(::dirfd(descriptors), entry->d_name, &node, 0) == 0 && S_ISCHR(node.st_mode))
            open.insert(node.st_rdev, pid);
    }
    ::closedir(descriptors);
}

// The character devices that other programs have open, and which program.
QHash<dev_t, pid_t> openDevices()
{
    QHash<dev_t, pid_t> open;
    DIR *processes = ::opendir("/proc");
    if (!processes)
        return open;
    while (const dirent *entry = ::readdir(processes)) {
        const pid_t pid = pid_t(std::strtol(entry->d_name, nullptr, 10));
        if (pid > 0 && pid != ::getpid())
            addOpenDevices(pid, open);
    }
    ::closedir(processes);
    return open;
}

QString programName(pid_t pid)
{
    const QString name = readLine(QStringLiteral("/proc/%1/comm").arg(pid));
    return name.isEmpty() ? QStringLiteral("process %1").arg(pid)
                          : QStringLiteral("%1, process %2").arg(name).arg(pid);
}

class Prober
{
public:
    explicit Prober(const QString &root)
        : m_root(root)
    {}

    Device describe(const QString &path)
    {
        Device device;
        device.path = path;
        const QString name = QFileInfo(path).fileName();
        device.state = stateOf(path, name, device);
        device.byId = stableName(path, m_root);
        device.usb = usbOf(m_root, name);
        return device;
    }

private:
    State stateOf(const QString &path, const QString &name, Device &device)
    {
        const QByteArray node = QFile::encodeName(path);
        struct stat info
        {};
        if (node.isEmpty())
            return State::Missing;
        if (::stat(node.constData(), &info) != 0)
            return errno == EACCES ? State::NotPermitted : State::Missing;
        if (!S_ISCHR(info.st_mode) || !isTerminal(info.st_rdev))
            return State::NotATerminal;
        if (hasNoHardware(m_root, name))
            return State::Missing;
        if (::faccessat(AT_FDCWD, node.constData(), R_OK | W_OK, AT_EACCESS) != 0) {
            explainRefusal(info, device);
            return State::NotPermitted;
        }
        pid_t holder = lockHolder(path);
        if (holder == 0) {
            if (!m_open)
                m_open = openDevices();
            holder = m_open->value(info.st_rdev);
        }
        if (holder == 0)
            return State::Present;
        device.holder = programName(holder);
        return State::Busy;
    }

    QString m_root;
    // Looked at once, when the first device needs it.
    std::optional<QHash<dev_t, pid_t>> m_open;
};

} // namespace

QList<Device> describe(const QStringList &paths, const QString &root)
{
    Prober prober(root);
    QList<Device> devices;
    for (const QString &path : paths)
        devices.append(prober.describe(path));
    return devices;
}

QStringList serialDevices(const QString &root)
{
    QStringList devices;
    const QDir ttys(root + QStringLiteral("/sys/class/tty"));
    for (const QString &name : ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        // Consoles and pseudo-terminals have no device behind them.
        if (QFileInfo::exists(ttys.filePath(name + QStringLiteral("/device"))) &&
            !hasNoHardware(root, name))
            devices.append(root + QStringLiteral("/dev/") + name);
    }
    return devices;
}

std::optional<Usb> usbAdapter(const QString &path, const QString &root)
{
    return usbOf(root, QFileInfo(path).fileName());
}

QList<qint16> registeredComNumbers()
{
    return {};
}

} // namespace SerialPorts::Platform
