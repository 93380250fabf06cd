#include "session.h"

#include "driveline.h"

#include "common/wizard.h"
#include "ui/msgbox.h"

#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;
} // namespace

namespace BenchSupport {

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

Session::Session()
{
    qputenv("windir", dir.path().toLocal8Bit());
    transferSession().state() = TransferState{};
    MsgBox::setResponder([this](const MsgBox::Request &request) {
        messages.append(request.text);
        return request.buttons == MsgBox::Buttons::YesNo ? MsgBox::Result::Yes : MsgBox::Result::Ok;
    });
}

Session::~Session()
{
    MsgBox::setResponder({});
    unloadAllWindows();
}

std::pair<double, double> runSend()
{
    double first = 0;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (first == 0 && transferSession().state().lByteCount > 0) {
            first = benchNow();
            watch.stop();
        }
    });
    watch.start();
    Wizard::button(frmMain2(), "Next")->click();
    return {first, benchNow()};
}

bool startTransmitting(DriveLine &line, const Session &session, const QByteArray &text, int baud,
                       double startDelay)
{
    return Wizard::writeFile(session.path("drive.txt"), text) &&
           line.start(session.dir.path(),
                      {QStringLiteral("--baud"), QString::number(baud),
                       QStringLiteral("--transmit"), session.path("drive.txt"),
                       QStringLiteral("--start-delay"), QString::number(int(startDelay * 1000))});
}

const char *startReceiving(DriveLine &line, const Session &session, const QByteArray &file,
                           int baud, const QStringList &more)
{
    if (!Wizard::writeFile(session.path("params.jxf"), file))
        return "cannot-write-file";
    QStringList arguments{QStringLiteral("--receive"), session.path("drive.jxf")};
    if (baud > 0)
        arguments << QStringLiteral("--baud") << QString::number(baud);
    if (!line.start(session.dir.path(), arguments + more))
        return "drivesim-did-not-start";
    return nullptr;
}

bool sendAccepted(int baud, const QString &file)
{
    Wizard::next(kSendType, file, baudIndex(baud));
    return frmMain2().isVisible() && Wizard::button(frmMain2(), "Next")->isEnabled();
}

} // namespace BenchSupport
