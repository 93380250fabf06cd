#include "process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace drivesim {

QString samplesDir()
{
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quillet/samples");
    return QFileInfo::exists(installed) ? QDir(installed).absolutePath()
                                        : QStringLiteral(DRIVESIM_SAMPLES_DIR);
}

QString comLinkPath(const QString &settingsDir, int com)
{
    QString folder = settingsDir;
    if (folder.isEmpty())
        folder = qEnvironmentVariable("windir");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/quillet");
    return QDir(folder).filePath(QStringLiteral("dosdevices/com%1").arg(com));
}

bool quitOnTerminationSignals(QCoreApplication &app)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return false;
    const int descriptor = ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descriptor < 0)
        return false;
    auto *notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, [descriptor] {
        signalfd_siginfo info = {};
        if (::read(descriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            QCoreApplication::quit();
    });
    return true;
}

} // namespace drivesim
