// The real quillet program in a process of its own, driven through its
// windows on the X server with xdotool, its CPU read from outside.
#include "runs.h"

#include "cpusampler.h"
#include "driveline.h"
#include "estimate.h"
#include "session.h"

#include "common/wizard.h"

#include <QProcess>
#include <QThread>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr double kStartDelay = 0.3;
constexpr int kWindowTimeoutMs = 15000;
constexpr int kWindowPollMs = 50;
constexpr int kStopMs = 3000;
// Page 1's and page 2's Next, in pixels inside the page: the button at
// 3840, 2040 twips, 1215 x 375, 15 twips a pixel.
constexpr int kNextX = 296;
constexpr int kNextY = 148;

QString visibleWindow(const QString &title)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kWindowTimeoutMs) {
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                      QStringLiteral("--name"), title});
        if (search.waitForFinished() && search.exitCode() == 0) {
            const QString id =
                QString::fromLatin1(search.readAllStandardOutput()).section('\n', 0, 0);
            if (!id.isEmpty())
                return id;
        }
        QThread::msleep(kWindowPollMs);
    }
    return QString();
}

// A real click of the pointer, as a user makes it.
bool click(const QString &window, int x, int y)
{
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                              QString::number(x), QString::number(y), QStringLiteral("click"),
                              QStringLiteral("1")}) == 0;
}

// The settings file as the program saves it, so that page 1 opens filled in.
bool writeSettings(const Session &session, int type, const QString &file, int baud)
{
    const QString text = QStringLiteral("%1\r\n%2\r\n0\r\n%3\r\n%4\r\n")
                             .arg(type)
                             .arg(file)
                             .arg(baudIndex(baud))
                             .arg(session.dir.path());
    return Wizard::writeFile(session.path("jxf.ini"), text.toLocal8Bit());
}

// The program, started with the session's settings, on page 1 with Next clicked.
const char *startAndClickNext(QProcess &program, bool accessibility)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (accessibility) {
        if (!env.contains(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")))
            return "no-session-bus-for-accessibility";
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    } else {
        env.remove(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"));
    }
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(QUILLET_PROGRAM_PATH), QStringList());
    if (!program.waitForStarted())
        return "program-did-not-start";
    const QString splash = visibleWindow(QStringLiteral("^Quillet$"));
    if (splash.isEmpty() || !click(splash, kNextX, kNextY))
        return "no-splash-window";
    const QString page1 = visibleWindow(QStringLiteral("page 1 of 3"));
    if (page1.isEmpty() || !click(page1, kNextX, kNextY))
        return "no-page-1";
    return nullptr;
}

void stopProgram(QProcess &program)
{
    program.terminate();
    if (!program.waitForFinished(kStopMs)) {
        program.kill();
        program.waitForFinished(kStopMs);
    }
}

double eventTime(const std::vector<DriveEvent> &events, const char *name)
{
    for (const DriveEvent &event : events) {
        if (event.name == QLatin1String(name))
            return event.at;
    }
    return -1;
}

// The program through its pages and its run, its CPU followed until the
// drive sees the port close (the run's end) or seconds pass; page 2's Next
// too for a send. Returns why it failed, or nullptr.
const char *followRun(DriveLine &line, bool accessibility, bool send, double seconds,
                      CpuSampler &cpu)
{
    QProcess program;
    const char *why = startAndClickNext(program, accessibility);
    if (!why && !cpu.start(pid_t(program.processId())))
        why = "cannot-read-the-program-cpu";
    if (!why && send) {
        const QString page2 = visibleWindow(QStringLiteral("page 2 of 3"));
        if (page2.isEmpty() || !click(page2, kNextX, kNextY))
            why = "no-page-2";
    }
    if (!why && !line.waitFor(QStringLiteral("CLOSED"), seconds))
        why = "run-did-not-end";
    QThread::msleep(kWindowPollMs);
    cpu.stop();
    stopProgram(program);
    return why;
}

// CPU seconds per second between two moments; -1 when they were not sampled.
double cpuPerSecond(const CpuSampler &cpu, double from, double to)
{
    const double start = cpu.cpuAt(from);
    const double end = cpu.cpuAt(to);
    if (start < 0 || end < 0 || to <= from)
        return -1;
    return (end - start) / (to - from);
}

// From the first character on the line to the end of the run.
int report(const CpuSampler &cpu, double first, double ended)
{
    const double perSecond = cpuPerSecond(cpu, first, ended);
    if (perSecond < 0)
        return fail("run-outside-the-samples");
    std::printf("RESULT cpu=%.5f seconds=%.4f\n", perSecond, ended - first);
    return 0;
}

} // namespace

namespace BenchRuns {

int programReceive(int baud, int chars, bool accessibility)
{
    Session session;
    const QByteArray dump = dumpOfSize(chars);
    if (!writeSettings(session, kDumpType, session.path("received.mmi"), baud))
        return fail("cannot-write-files");
    DriveLine line;
    if (!startTransmitting(line, session, dump, baud, kStartDelay))
        return fail("drivesim-did-not-start");
    CpuSampler cpu;
    if (const char *why = followRun(line, accessibility, false,
                                    idealSeconds(chars, baud) + kReceiveSlackMs / 1000.0, cpu))
        return fail(why);
    if (Wizard::readFile(session.path("received.mmi")) != dump + '\x1a')
        return fail("file-differs");
    const auto events = line.events();
    const double ended = eventTime(events, "CLOSED");
    const auto span = receiveSpan(events, kStartDelay, baud, ended);
    if (!span)
        return fail("no-drive-events");
    return report(cpu, span->first, ended);
}

int programSend(int baud, int chars, bool accessibility)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    DriveLine line;
    if (const char *why = startReceiving(line, session, file, baud))
        return fail(why);
    if (!writeSettings(session, kSendType, session.path("params.jxf"), baud))
        return fail("cannot-write-files");
    CpuSampler cpu;
    if (const char *why = followRun(line, accessibility, true,
                                    idealSeconds(chars, baud) + kCloseSeconds * 3, cpu))
        return fail(why);
    if (Wizard::readFile(session.path("drive.jxf")) != file)
        return fail("drive-got-different-data");
    const auto events = line.events();
    const auto span = sendSpan(events, chars, baud);
    if (!span)
        return fail("no-paced-counts");
    return report(cpu, span->first, eventTime(events, "CLOSED"));
}

} // namespace BenchRuns
