// The real quillet program in a process of its own, driven through its
// windows on the X server with xdotool.
#include "program.h"

#include "session.h"

#include "common/wizard.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

using namespace BenchSupport;

namespace {
constexpr int kWindowTimeoutMs = 15000;
constexpr int kWindowPollMs = 50;
constexpr int kStopMs = 3000;
} // namespace

namespace BenchProgram {

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

} // namespace BenchProgram
