#include "runs.h"

#include "driveline.h"
#include "estimate.h"
#include "session.h"

#include "common/wizard.h"

#include <QThread>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char **environ;

using namespace BenchSupport;

namespace {
constexpr double kStartDelay = 0.3;
constexpr int kDrainPollMs = 5;

// The port set up as the program sets it: raw, 8N1, XON/XOFF both ways.
// Returns the open descriptor, or -1.
int openLikeTheProgram(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios tio{};
    bool ok = tcgetattr(fd, &tio) == 0;
    cfmakeraw(&tio);
    tio.c_iflag = (tio.c_iflag & ~tcflag_t(IXANY)) | IXON | IXOFF;
    ok = ok && cfsetspeed(&tio, B9600) == 0 && tcsetattr(fd, TCSANOW, &tio) == 0;
    if (!ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What ascii-xfr did: its wait status (-1 when it could not start), its
// CPU seconds and when it ended.
struct ToolRun
{
    int status = -1;
    double cpu = 0;
    double ended = 0;
};

// Runs ascii-xfr with the line as its input and output, as a terminal
// program does: -s sends the file, -r receives into it.
ToolRun runAsciiXfr(int fd, const char *mode, const QString &file)
{
    QByteArray path = file.toLocal8Bit();
    QByteArray modeFlag(mode);
    const int devNull = ::open("/dev/null", O_WRONLY);
    char tool[] = "ascii-xfr";
    char rawFlag[] = "-n";
    char *argv[] = {tool, modeFlag.data(), rawFlag, path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    if (devNull >= 0)
        posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, tool, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (devNull >= 0)
        ::close(devNull);
    ToolRun run;
    rusage usage{};
    if (spawned != 0 || ::wait4(pid, &run.status, 0, &usage) != pid)
        return ToolRun{};
    run.ended = benchNow();
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return run;
}

bool succeeded(const ToolRun &run)
{
    return run.status >= 0 && WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0;
}

bool drainedTo(DriveLine &line, qint64 chars)
{
    const auto events = line.events();
    return !events.empty() && events.back().name == QLatin1String("RX") &&
           events.back().count >= chars;
}

} // namespace

namespace BenchRuns {

int send(int baud, int chars)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    DriveLine line;
    if (const char *why = startReceiving(line, session, file, baud))
        return fail(why);
    if (!sendAccepted(baud, session.path("params.jxf")))
        return fail("page-1-refused-the-send");
    const auto [counted, returned] = runSend();
    // A pseudo-terminal may still hold part of the file when the run ends
    // (its drain does not wait for the drive); the drive reports the close
    // once it has taken that in at the line's pace.
    if (!line.waitForPumping(QStringLiteral("CLOSED"), idealSeconds(chars, baud) + kCloseSeconds))
        return fail("drive-never-saw-the-close");
    if (Wizard::readFile(session.path("drive.jxf")) != file)
        return fail("drive-got-different-data");
    const auto span = sendSpan(line.events(), chars, baud);
    if (!span)
        return fail("no-paced-counts");
    std::printf("RESULT ideal=%.4f line=%.4f loop=%.4f counted=%.4f\n", idealSeconds(chars, baud),
                span->seconds(), returned - counted, span->first - counted);
    return 0;
}

int plainToolSend(int baud, int chars)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    DriveLine line;
    if (const char *why = startReceiving(line, session, file, baud))
        return fail(why);
    const int fd = openLikeTheProgram(line.slavePath());
    if (fd < 0)
        return fail("cannot-set-up-the-line");
    if (!line.waitFor(QStringLiteral("OPENED"), kCloseSeconds))
        return fail("drive-never-saw-the-open");
    const ToolRun tool = runAsciiXfr(fd, "-s", session.path("params.jxf"));
    // Everything is on its way; the drive takes it in at the line's pace.
    const double end = benchNow() + idealSeconds(chars, baud) + kCloseSeconds;
    while (benchNow() < end && !drainedTo(line, chars))
        QThread::msleep(kDrainPollMs);
    ::close(fd);
    if (!line.waitFor(QStringLiteral("CLOSED"), kCloseSeconds))
        return fail("drive-never-saw-the-close");
    if (Wizard::readFile(session.path("drive.jxf")) != file)
        return fail("drive-got-different-data");
    const auto span = sendSpan(line.events(), chars, baud);
    if (!succeeded(tool) || !span)
        return fail("ascii-xfr-failed");
    // Its CPU from its start, a little before the first character, to its end.
    std::printf("RESULT ideal=%.4f line=%.4f cpu=%.5f\n", idealSeconds(chars, baud),
                span->seconds(), tool.cpu / (tool.ended - span->first));
    return 0;
}

int receive(int baud, int chars)
{
    Session session;
    const QByteArray dump = dumpOfSize(chars);
    DriveLine line;
    if (!startTransmitting(line, session, dump, baud, kStartDelay))
        return fail("drivesim-did-not-start");
    double complete = 0;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (complete == 0 && Wizard::ended())
            complete = benchNow();
    });
    watch.start();
    Wizard::next(kDumpType, session.path("received.mmi"), baudIndex(baud));
    if (!Wizard::waitForReceive(int(idealSeconds(chars, baud) * 1000) + kReceiveSlackMs))
        return fail("receive-did-not-end");
    // A transfer that returns as the wait's last slice ends is seen here first.
    if (complete == 0)
        complete = benchNow();
    if (Wizard::readFile(session.path("received.mmi")) != dump + '\x1a')
        return fail("file-differs");
    const auto span = receiveSpan(line.events(), kStartDelay, baud, complete);
    if (!span)
        return fail("no-drive-events");
    // The drive sends the end of data after the text: one character more on the line.
    std::printf("RESULT ideal=%.4f line=%.4f rss=%.1f\n", idealSeconds(chars + 1, baud),
                span->seconds(), peakMegabytes());
    return 0;
}

int plainToolReceive(int baud, int chars)
{
    Session session;
    const QByteArray dump = dumpOfSize(chars);
    DriveLine line;
    if (!startTransmitting(line, session, dump, baud, kStartDelay))
        return fail("drivesim-did-not-start");
    const int fd = openLikeTheProgram(line.slavePath());
    if (fd < 0)
        return fail("cannot-set-up-the-line");
    // It reads until the end of data, blocking in each read.
    const ToolRun tool = runAsciiXfr(fd, "-r", session.path("received.mmi"));
    ::close(fd);
    if (!succeeded(tool))
        return fail("ascii-xfr-failed");
    if (!Wizard::readFile(session.path("received.mmi")).startsWith(dump))
        return fail("file-differs");
    const auto span = receiveSpan(line.events(), kStartDelay, baud, tool.ended);
    if (!span)
        return fail("no-drive-events");
    std::printf("RESULT cpu=%.5f seconds=%.4f\n", tool.cpu / span->seconds(), span->seconds());
    return 0;
}

} // namespace BenchRuns
