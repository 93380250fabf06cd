#include "driveline.h"

#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
constexpr int kReadChunk = 4096;
constexpr auto kPollInterval = std::chrono::milliseconds(1);
constexpr double kReadySeconds = 5.0;
constexpr double kStopSeconds = 3.0;
} // namespace

double benchNow()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::vector<char *> spawnArgv(QList<QByteArray> &args, const QStringList &arguments)
{
    for (const QString &a : arguments)
        args.append(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

DriveLine::~DriveLine()
{
    stop();
}

bool DriveLine::start(const QString &settingsDir, const QStringList &arguments)
{
    int out[2] = {-1, -1};
    int in[2] = {-1, -1};
    if (::pipe(out) != 0)
        return false;
    if (::pipe(in) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    QList<QByteArray> args{QByteArrayLiteral(QUILLET_DRIVESIM_PATH), "--settings-dir",
                           settingsDir.toLocal8Bit(), "--com", "1"};
    std::vector<char *> argv = spawnArgv(args, arguments);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (spawned != 0) {
        m_pid = -1;
        ::close(in[1]);
        ::close(out[0]);
        return false;
    }
    m_stdin = in[1];
    m_reader = std::thread([this, fd = out[0]] { readLoop(fd); });
    return waitFor(QStringLiteral("READY"), kReadySeconds);
}

void DriveLine::readLoop(int fd)
{
    QByteArray pending;
    char chunk[kReadChunk];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        const double at = benchNow();
        pending.append(chunk, count);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString line = QString::fromLocal8Bit(pending.left(end));
            pending.remove(0, end + 1);
            DriveEvent event;
            event.at = at;
            event.name = line.section(QLatin1Char(' '), 0, 0);
            bool isNumber = false;
            const qint64 number = line.section(QLatin1Char(' '), 1, 1).toLongLong(&isNumber);
            if (isNumber)
                event.count = number;
            std::lock_guard guard(m_lock);
            if (event.name == QLatin1String("READY"))
                m_slave = line.section(QLatin1Char(' '), 1);
            m_events.push_back(event);
        }
    }
    ::close(fd);
}

bool DriveLine::seen(const QString &name)
{
    std::lock_guard guard(m_lock);
    for (const DriveEvent &event : m_events) {
        if (event.name == name)
            return true;
    }
    return false;
}

bool DriveLine::waitFor(const QString &name, double seconds)
{
    const double end = benchNow() + seconds;
    while (!seen(name)) {
        if (benchNow() > end)
            return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

bool DriveLine::waitForPumping(const QString &name, double seconds)
{
    const double end = benchNow() + seconds;
    while (!seen(name)) {
        if (benchNow() > end)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

std::vector<DriveEvent> DriveLine::events()
{
    std::lock_guard guard(m_lock);
    return m_events;
}

QString DriveLine::slavePath()
{
    std::lock_guard guard(m_lock);
    return m_slave;
}

void DriveLine::stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        const double end = benchNow() + kStopSeconds;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (benchNow() > end) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
        m_pid = -1;
    }
    if (m_stdin >= 0) {
        ::close(m_stdin);
        m_stdin = -1;
    }
    if (m_reader.joinable())
        m_reader.join();
}
