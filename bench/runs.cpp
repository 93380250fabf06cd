#include "runs.h"

#include "driveline.h"
#include "estimate.h"

#include "app/transferstate.h"
#include "common/wizard.h"
#include "transfer/systemclock.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"
#include "ui/msgbox.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
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

namespace {

constexpr double kStartDelay = 0.3;
constexpr double kCpuStartDelay = 3.0;
constexpr double kCloseSeconds = 10.0;
constexpr int kReceiveSlackMs = 30000;
constexpr int kSendType = 2;
constexpr int kDumpType = 0;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

int baudIndex(int baud)
{
    switch (baud) {
    case 9600:
        return 5;
    case 19200:
        return 6;
    case 38400:
        return 7;
    default:
        return 8;
    }
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return t.tv_sec + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024.0 / kBytesPerMegabyte;
}

int fail(const char *why)
{
    std::printf("RESULT error=%s\n", why);
    std::fflush(stdout);
    return 1;
}

// Settings of its own, and every question answered Yes: a benchmark has no user.
struct Session
{
    Session()
    {
        qputenv("windir", dir.path().toLocal8Bit());
        transferState() = TransferState{};
        MsgBox::setResponder([this](const MsgBox::Request &request) {
            messages.append(request.text);
            return request.buttons == MsgBox::Buttons::YesNo ? MsgBox::Result::Yes
                                                             : MsgBox::Result::Ok;
        });
    }
    ~Session()
    {
        MsgBox::setResponder({});
        unloadAllWindows();
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QStringList messages;
};

// Clicks page 2's Next, which runs the whole send, and returns when the first
// character was counted and when the loop returned.
std::pair<double, double> runSend()
{
    double first = 0;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (first == 0 && transferState().lByteCount > 0) {
            first = benchNow();
            watch.stop();
        }
    });
    watch.start();
    Wizard::button(frmMain2(), "Next")->click();
    return {first, benchNow()};
}

bool sendAccepted(int baud, const QString &file)
{
    Wizard::next(kSendType, file, baudIndex(baud));
    return frmMain2().isVisible() && Wizard::button(frmMain2(), "Next")->isEnabled();
}

} // namespace

namespace BenchRuns {

int send(int baud, int chars)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    if (!Wizard::writeFile(session.path("params.jxf"), file))
        return fail("cannot-write-file");
    DriveLine line;
    if (!line.start(session.dir.path(), {QStringLiteral("--baud"), QString::number(baud),
                                         QStringLiteral("--receive"), session.path("drive.jxf")}))
        return fail("drivesim-did-not-start");
    if (!sendAccepted(baud, session.path("params.jxf")))
        return fail("page-1-refused-the-send");
    const auto [counted, returned] = runSend();
    if (!line.waitForPumping(QStringLiteral("CLOSED"), kCloseSeconds))
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
    if (!Wizard::writeFile(session.path("params.jxf"), file))
        return fail("cannot-write-file");
    DriveLine line;
    if (!line.start(session.dir.path(), {QStringLiteral("--baud"), QString::number(baud),
                                         QStringLiteral("--receive"), session.path("drive.jxf")}))
        return fail("drivesim-did-not-start");
    // The port set up as the program sets it: raw, 8N1, XON/XOFF both ways.
    const int fd = ::open(line.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fail("cannot-open-line");
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return fail("cannot-read-line-settings");
    cfmakeraw(&tio);
    tio.c_iflag = (tio.c_iflag & ~tcflag_t(IXANY)) | IXON | IXOFF;
    if (cfsetspeed(&tio, B9600) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail("cannot-set-line");
    if (!line.waitFor(QStringLiteral("OPENED"), kCloseSeconds))
        return fail("drive-never-saw-the-open");

    const QByteArray path = session.path("params.jxf").toLocal8Bit();
    const int devNull = ::open("/dev/null", O_WRONLY);
    char tool[] = "ascii-xfr";
    char sendFlag[] = "-s";
    char rawFlag[] = "-n";
    char *argv[] = {tool, sendFlag, rawFlag, const_cast<char *>(path.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Its input is the line too, as under a terminal program.
    posix_spawn_file_actions_adddup2(&actions, fd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, tool, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(devNull);
    if (spawned != 0)
        return fail("ascii-xfr-not-found");
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Everything is on its way; the drive takes it in at the line's pace.
    const double end = benchNow() + idealSeconds(chars, baud) + kCloseSeconds;
    while (benchNow() < end) {
        const auto events = line.events();
        if (!events.empty() && events.back().name == QLatin1String("RX") &&
            events.back().count >= chars)
            break;
        QThread::msleep(5);
    }
    ::close(fd);
    if (!line.waitFor(QStringLiteral("CLOSED"), kCloseSeconds))
        return fail("drive-never-saw-the-close");
    if (Wizard::readFile(session.path("drive.jxf")) != file)
        return fail("drive-got-different-data");
    const auto span = sendSpan(line.events(), chars, baud);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !span)
        return fail("ascii-xfr-failed");
    std::printf("RESULT ideal=%.4f line=%.4f\n", idealSeconds(chars, baud), span->seconds());
    return 0;
}

int receive(int baud, int chars)
{
    Session session;
    const QByteArray dump = dumpOfSize(chars);
    if (!Wizard::writeFile(session.path("drive.txt"), dump))
        return fail("cannot-write-file");
    DriveLine line;
    if (!line.start(session.dir.path(),
                    {QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--transmit"),
                     session.path("drive.txt"), QStringLiteral("--start-delay"),
                     QString::number(int(kStartDelay * 1000))}))
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

} // namespace BenchRuns

namespace {

// The loop as it was before its reads waited for the line: it asks the port
// again and again instead of sleeping until a character arrives. The time an
// empty read takes stays the same, so the loop counts silence as before.
class NoWaitPort : public LinePort
{
public:
    explicit NoWaitPort(CommPort &port)
        : m_port(port)
    {}
    bool output(const QByteArray &data) override { return m_port.output(data); }
    QByteArray input() override { return m_port.input(); }
    bool waitForInput(int msecs) override
    {
        QElapsedTimer spent;
        spent.start();
        while (!m_port.waitForInput(0)) {
            if (spent.elapsed() >= msecs)
                return false;
        }
        return true;
    }
    qint64 queuedOutput() override { return m_port.queuedOutput(); }
    qint64 outBufferSize() const override { return m_port.outBufferSize(); }
    void waitForOutput(int msecs) override { m_port.waitForOutput(msecs); }
    bool drain() override { return m_port.drain(); }
    bool failed() const override { return m_port.failed(); }
    void close() override { m_port.close(); }

private:
    CommPort &m_port;
};

// What page 2 does when the drive's first characters arrive, with the busy loop.
void runBusyTransfer()
{
    frmMain2().hide();
    frmMain3().showPage();
    NoWaitPort port(frmMain3().SComms());
    SystemTransferClock clock;
    TransferLoop loop(transferState(), port, transferFile(), frmMain3(), clock);
    loop.run();
}

long sleeps()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

struct CpuWindow
{
    double cpuStart = 0;
    double wallStart = 0;
    long sleepsStart = 0;
    double perSecond = -1;
    double sleepsPerSecond = -1;

    void open()
    {
        cpuStart = cpuSeconds();
        wallStart = benchNow();
        sleepsStart = sleeps();
    }
    void close()
    {
        const double wall = benchNow() - wallStart;
        perSecond = (cpuSeconds() - cpuStart) / wall;
        sleepsPerSecond = (sleeps() - sleepsStart) / wall;
    }
    // Opens at from and closes at to, seconds from now, on the program's own timers.
    void schedule(double from, double to)
    {
        QTimer::singleShot(int(from * 1000), Qt::PreciseTimer, [this] { open(); });
        QTimer::singleShot(int(to * 1000), Qt::PreciseTimer, [this] { close(); });
    }
};

constexpr int kCpuChars = 12000;
constexpr int kCpuBaud = 9600;
constexpr double kWaitWindowFrom = 0.5;
constexpr double kWaitWindowTo = 2.5;
constexpr double kReceiveWindowFrom = kCpuStartDelay + 1.5;
constexpr double kReceiveWindowTo = kCpuStartDelay + 9.5;
constexpr int kBusyPollMs = 2;
constexpr int kCeilingBaud = 57600;

} // namespace

namespace BenchRuns {

int cpu(bool busy)
{
    Session session;
    if (!Wizard::writeFile(session.path("drive.txt"), dumpOfSize(kCpuChars)))
        return fail("cannot-write-file");
    DriveLine line;
    if (!line.start(session.dir.path(),
                    {QStringLiteral("--baud"), QString::number(kCpuBaud),
                     QStringLiteral("--transmit"), session.path("drive.txt"),
                     QStringLiteral("--start-delay"), QString::number(int(kCpuStartDelay * 1000))}))
        return fail("drivesim-did-not-start");
    Wizard::next(kDumpType, session.path("received.mmi"), baudIndex(kCpuBaud));
    if (!frmMain2().isVisible())
        return fail("page-2-not-shown");
    CpuWindow waiting;
    CpuWindow receiving;
    waiting.schedule(kWaitWindowFrom, kWaitWindowTo);
    receiving.schedule(kReceiveWindowFrom, kReceiveWindowTo);
    bool retried = false;
    QTimer busyStart;
    if (busy) {
        frmMain2().Timer1()->stop();
        QObject::connect(&busyStart, &QTimer::timeout, [&] {
            if (frmMain3().SComms().inBufferCount() > 0) {
                busyStart.stop();
                runBusyTransfer();
            }
        });
        busyStart.start(kBusyPollMs);
    }
    QTimer watchStatus;
    QObject::connect(&watchStatus, &QTimer::timeout, [&] {
        retried = retried ||
                  (Forms::isLoaded(Form::Main3) && Wizard::status() == TransferText::kRetrying);
    });
    watchStatus.start(kBusyPollMs * 5);
    if (!Wizard::waitForReceive(int(kReceiveWindowTo * 1000) + kReceiveSlackMs))
        return fail("receive-did-not-end");
    if (waiting.perSecond < 0 || receiving.perSecond < 0)
        return fail("receive-ended-before-the-window");
    std::printf("RESULT waiting=%.4f receiving=%.4f retried=%d wakeups=%.0f\n", waiting.perSecond,
                receiving.perSecond, int(retried), receiving.sleepsPerSecond);
    return 0;
}

int ceiling(int chars)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    if (!Wizard::writeFile(session.path("params.jxf"), file))
        return fail("cannot-write-file");
    DriveLine line;
    // Unpaced, with room for everything: only the program sets the pace.
    if (!line.start(session.dir.path(), {QStringLiteral("--receive"), session.path("drive.jxf"),
                                         QStringLiteral("--rx-capacity"), QStringLiteral("1048576"),
                                         QStringLiteral("--xoff-high"), QStringLiteral("1048000"),
                                         QStringLiteral("--xon-low"), QStringLiteral("1000")}))
        return fail("drivesim-did-not-start");
    if (!sendAccepted(kCeilingBaud, session.path("params.jxf")))
        return fail("page-1-refused-the-send");
    const auto [counted, returned] = runSend();
    if (!line.waitForPumping(QStringLiteral("CLOSED"), kCloseSeconds))
        return fail("drive-never-saw-the-close");
    if (Wizard::readFile(session.path("drive.jxf")) != file)
        return fail("drive-got-different-data");
    std::printf("RESULT cps=%.0f seconds=%.4f\n", chars / (returned - counted), returned - counted);
    return 0;
}

} // namespace BenchRuns
