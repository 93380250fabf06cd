#include "runs.h"

#include "driveline.h"
#include "estimate.h"
#include "session.h"

#include "common/wizard.h"
#include "transfer/systemclock.h"
#include "transfer/transferfile.h"
#include "transfer/transferloop.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace BenchSupport;

namespace {

constexpr double kCpuStartDelay = 3.0;
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
    void gatherInput(int msecs) override { m_port.gatherInput(msecs); }
    qint64 queuedOutput() override { return m_port.queuedOutput(); }
    qint64 outBufferSize() const override { return m_port.outBufferSize(); }
    void waitForOutput(int msecs) override { m_port.waitForOutput(msecs); }
    DrainStatus drain(int msecs) override { return m_port.drain(msecs); }
    bool failed() const override { return m_port.failed(); }
    void close() override { m_port.close(); }
    qint64 discarded() const override { return m_port.discarded(); }

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
