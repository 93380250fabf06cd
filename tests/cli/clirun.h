#pragma once

// quillet-cli run as a script runs it: a process of its own, its exit status,
// standard output and standard error.

#include "common/hexfile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

struct CliRun
{
    int exit = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// windir chooses the settings folder, and so where COMn leads.
inline void startCli(QProcess &process, const QStringList &arguments, const QString &windir = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!windir.isEmpty())
        environment.insert("windir", windir);
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("QUILLET_CLI"), arguments);
}

inline CliRun finishCli(QProcess &process, int msecs = 60000)
{
    CliRun run;
    // A process that has finished already makes waitForFinished() false.
    const bool finished = process.state() == QProcess::NotRunning || process.waitForFinished(msecs);
    if (!finished || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exit = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

inline CliRun runCli(const QStringList &arguments, const QString &windir = {})
{
    QProcess process;
    startCli(process, arguments, windir);
    return finishCli(process);
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
