// The real quillet program in a process of its own, driven through its
// windows on the X server with xdotool, its CPU read from outside.
#include "runs.h"

#include "cpusampler.h"
#include "driveline.h"
#include "estimate.h"
#include "program.h"
#include "session.h"

#include "common/wizard.h"

#include <QProcess>
#include <QThread>

#include <cstdio>

using namespace BenchSupport;
using namespace BenchProgram;

namespace {

constexpr double kStartDelay = 0.3;
constexpr int kWindowPollMs = 50;

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
