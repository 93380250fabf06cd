#pragma once

// Runs one test function of the running test program again in a child
// process as an unprivileged user, so that permissions, which root passes
// through, can be shown to refuse. Linux only.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

namespace Unprivileged {

// The user and group "nobody" on Debian.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QByteArray output;
};

// A copy of a program of the build (the running test program by default) that
// nobody may start: a checkout in a folder that only root may enter (root's
// home, 0700) would keep the child from ever starting.
inline QString copyForNobody(const QTemporaryDir &folder,
                             const QString &program = QCoreApplication::applicationFilePath())
{
    const QString copy = folder.filePath(QFileInfo(program).fileName());
    const auto everyoneEnters = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                QFileDevice::ExeOther;
    if (!QFile::setPermissions(folder.path(), everyoneEnters) || !QFile::copy(program, copy) ||
        !QFile::setPermissions(copy, everyoneEnters))
        return QString();
    return copy;
}

// Runs testFunction (with an optional data row) as nobody with extra
// environment; the function must skip itself when that environment is absent.
inline Run runAsNobody(const QString &testFunction, const QProcessEnvironment &extra)
{
    Run run;
    const QTemporaryDir folder;
    QString program = copyForNobody(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The child may start the simulated drive and the port holder too: copies of them.
    for (const char *name : {"QUILLET_DRIVESIM", "QUILLET_HOLDPORT"}) {
        if (!env.contains(name) || program.isEmpty())
            continue;
        const QString copy = copyForNobody(folder, env.value(name));
        env.insert(name, copy);
        if (copy.isEmpty())
            program.clear();
    }
    if (program.isEmpty()) {
        run.output = "could not copy the programs where nobody may start them";
        return run;
    }
    env.insert(extra);
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(folder.path());
    child.setChildProcessModifier([] {
        // Async-signal-safe calls only; a failure leaves the child unable to
        // prove anything, so it ends at once with a code the caller reports.
        if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0)
            _exit(125);
    });
    child.start(program, {testFunction});
    run.finished = child.waitForFinished(120000);
    run.exitCode = child.exitCode();
    run.output = child.readAll();
    if (!run.finished)
        child.kill();
    return run;
}

} // namespace Unprivileged
