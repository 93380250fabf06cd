#include "runs.h"

#include "driveline.h"
#include "estimate.h"
#include "session.h"

#include "common/wizard.h"

#include <QTimer>

#include <cstdio>

using namespace BenchSupport;

namespace {

constexpr double kCpuStartDelay = 3.0;
constexpr int kCpuChars = 1200;
constexpr int kCpuBaud = 9600;
constexpr double kWaitWindowFrom = 0.5;
constexpr double kWaitWindowTo = 2.5;
constexpr int kCeilingBaud = 57600;

} // namespace

namespace BenchRuns {

int cpu()
{
    Session session;
    DriveLine line;
    if (!startTransmitting(line, session, dumpOfSize(kCpuChars), kCpuBaud, kCpuStartDelay))
        return fail("drivesim-did-not-start");
    Wizard::next(kDumpType, session.path("received.mmi"), baudIndex(kCpuBaud));
    if (!frmMain2().isVisible())
        return fail("page-2-not-shown");
    double cpuStart = 0;
    double wallStart = 0;
    double waiting = -1;
    QTimer::singleShot(int(kWaitWindowFrom * 1000), Qt::PreciseTimer, [&] {
        cpuStart = cpuSeconds();
        wallStart = benchNow();
    });
    QTimer::singleShot(int(kWaitWindowTo * 1000), Qt::PreciseTimer,
                       [&] { waiting = (cpuSeconds() - cpuStart) / (benchNow() - wallStart); });
    if (!Wizard::waitForReceive(int(kCpuStartDelay * 1000) + kReceiveSlackMs))
        return fail("receive-did-not-end");
    if (waiting < 0)
        return fail("receive-ended-before-the-window");
    std::printf("RESULT waiting=%.4f\n", waiting);
    return 0;
}

int ceiling(int chars)
{
    Session session;
    const QByteArray file = hexFileOfSize(chars);
    DriveLine line;
    // Unpaced, with room for everything: only the program sets the pace.
    if (const char *why =
            startReceiving(line, session, file, 0,
                           {QStringLiteral("--rx-capacity"), QStringLiteral("1048576"),
                            QStringLiteral("--xoff-high"), QStringLiteral("1048000"),
                            QStringLiteral("--xon-low"), QStringLiteral("1000")}))
        return fail(why);
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
