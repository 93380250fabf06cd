#include "cliruns.h"

#include "driveline.h"
#include "estimate.h"
#include "session.h"

#include "common/wizard.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace BenchSupport;

namespace {

constexpr double kStartDelay = 0.3;
constexpr double kCpuStartDelay = 3.0;
constexpr double kCpuWaitSeconds = 2.0;
constexpr double kCpuReceiveSeconds = 8.0;
constexpr auto kPoll = std::chrono::milliseconds(1);

// quillet-cli as a script starts it, in the run's settings folder; a thread
// of its own waits for it, so the time it ends is taken the moment it ends.
class CliProcess
{
public:
    ~CliProcess()
    {
        if (m_pid > 0 && !m_ended)
            ::kill(m_pid, SIGKILL);
        if (m_waiter.joinable())
            m_waiter.join();
    }

    bool start(const QStringList &arguments)
    {
        QList<QByteArray> args{QByteArrayLiteral(QUILLET_CLI_PATH)};
        std::vector<char *> argv = spawnArgv(args, arguments);
        if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            return false;
        m_waiter = std::thread([this] {
            ::waitpid(m_pid, &m_status, 0);
            m_endedAt = benchNow();
            m_ended = true;
        });
        return true;
    }
    // True when it ended with status 0 within seconds.
    bool succeeded(double seconds)
    {
        const double end = benchNow() + seconds;
        while (!m_ended && benchNow() < end)
            std::this_thread::sleep_for(kPoll);
        return m_ended && WIFEXITED(m_status) && WEXITSTATUS(m_status) == 0;
    }
    double endedAt() const { return m_endedAt; }
    // CPU seconds of the whole process so far (every thread), from the
    // kernel's clock for that process, to the nanosecond.
    double cpuSeconds() const
    {
        clockid_t clock = 0;
        timespec spent{};
        if (::clock_getcpuclockid(m_pid, &clock) != 0 || ::clock_gettime(clock, &spent) != 0)
            return -1;
        return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
    }

private:
    pid_t m_pid = -1;
    int m_status = 0;
    std::atomic<bool> m_ended = false;
    double m_endedAt = 0;
    std::thread m_waiter;
};

QStringList cliArguments(const char *command, const QString &file, int baud)
{
    return {QString::fromLatin1(command), file,
            QStringLiteral("--port"),     QStringLiteral("COM1"),
            QStringLiteral("--baud"),     QString::number(baud),
            QStringLiteral("--quiet")};
}

// The drive transmits chars characters after delay; the command receives them.
bool startReceive(Session &session, DriveLine &line, CliProcess &cli, int baud, int chars,
                  double delay)
{
    return Wizard::writeFile(session.path("drive.txt"), dumpOfSize(chars)) &&
           line.start(session.dir.path(),
                      {QStringLiteral("--baud"), QString::number(baud),
                       QStringLiteral("--transmit"), session.path("drive.txt"),
                       QStringLiteral("--start-delay"), QString::number(int(delay * 1000))}) &&
           cli.start(cliArguments("dump", session.path("received.mmi"), baud));
}

double cpuPerSecond(const CliProcess &cli, double seconds)
{
    const double before = cli.cpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double after = cli.cpuSeconds();
    return before < 0 || after < 0 ? -1 : (after - before) / seconds;
}

} // namespace

namespace BenchCliRuns {

int send(int baud, int chars)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    DriveLine line;
    if (const char *why = startReceiving(line, session, file, baud))
        return fail(why);
    CliProcess cli;
    if (!cli.start(cliArguments("send", session.path("params.jxf"), baud)) ||
        !cli.succeeded(idealSeconds(chars, baud) + kCloseSeconds))
        return fail("quillet-cli-send-failed");
    // As with the windows' send: a pseudo-terminal may still hold part of the
    // file when the command ends, and the drive takes that in at the line's pace.
    if (!line.waitFor(QStringLiteral("CLOSED"), idealSeconds(chars, baud) + kCloseSeconds))
        return fail("drive-never-saw-the-close");
    if (Wizard::readFile(session.path("drive.jxf")) != file)
        return fail("drive-got-different-data");
    const auto span = sendSpan(line.events(), chars, baud);
    if (!span)
        return fail("no-paced-counts");
    std::printf("RESULT ideal=%.4f line=%.4f\n", idealSeconds(chars, baud), span->seconds());
    return 0;
}

int receive(int baud, int chars)
{
    Session session;
    DriveLine line;
    CliProcess cli;
    if (!startReceive(session, line, cli, baud, chars, kStartDelay))
        return fail("could-not-start");
    if (!cli.succeeded(idealSeconds(chars, baud) + kReceiveSlackMs / 1000.0))
        return fail("receive-failed");
    if (Wizard::readFile(session.path("received.mmi")) != dumpOfSize(chars) + '\x1a')
        return fail("file-differs");
    // The end is the command's own end: its file closed, its port let go.
    const auto span = receiveSpan(line.events(), kStartDelay, baud, cli.endedAt());
    if (!span)
        return fail("no-drive-events");
    std::printf("RESULT ideal=%.4f line=%.4f\n", idealSeconds(chars + 1, baud), span->seconds());
    return 0;
}

// While the command waits for the drive (which starts after 3 s), then in
// the middle of a 12,000-character receive at 9600 baud.
int cpu()
{
    constexpr int kBaud = 9600;
    constexpr int kChars = 12000;
    Session session;
    DriveLine line;
    CliProcess cli;
    if (!startReceive(session, line, cli, kBaud, kChars, kCpuStartDelay) ||
        !line.waitFor(QStringLiteral("OPENED"), kCloseSeconds))
        return fail("could-not-start");
    const double opened = benchNow();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double waiting = cpuPerSecond(cli, kCpuWaitSeconds);
    std::this_thread::sleep_for(
        std::chrono::duration<double>(opened + kCpuStartDelay + 1.0 - benchNow()));
    const double receiving = cpuPerSecond(cli, kCpuReceiveSeconds);
    if (waiting < 0 || receiving < 0)
        return fail("cpu-clock-unreadable");
    if (!cli.succeeded(idealSeconds(kChars, kBaud) + kReceiveSlackMs / 1000.0) ||
        Wizard::readFile(session.path("received.mmi")) != dumpOfSize(kChars) + '\x1a')
        return fail("receive-failed");
    std::printf("RESULT receiving=%.4f waiting=%.4f\n", receiving, waiting);
    return 0;
}

} // namespace BenchCliRuns
