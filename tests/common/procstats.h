#pragma once

// What the kernel counts for this process: resident memory and characters
// read, from /proc/self. Linux only; -1 when the figure cannot be read.

#include <QFile>
#include <QtGlobal>

namespace ProcStats {

// The value of the line "<key> <number>" in a /proc file (the unit is dropped).
inline qint64 field(const char *procFile, const QByteArray &key)
{
    QFile file(QString::fromLatin1(procFile));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // /proc files report a size of 0: read them line by line to the end.
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
        if (!line.startsWith(key))
            continue;
        bool ok = false;
        const qint64 value = line.mid(key.size()).simplified().split(' ').value(0).toLongLong(&ok);
        return ok ? value : -1;
    }
    return -1;
}

// Resident memory in kB.
inline qint64 residentKb()
{
    return field("/proc/self/status", "VmRSS:");
}

// Characters this process has read through read() and the like, from files,
// pipes and terminals alike.
inline qint64 charsRead()
{
    return field("/proc/self/io", "rchar:");
}

} // namespace ProcStats
