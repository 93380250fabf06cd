#pragma once

// Another program holding a serial device open, as a terminal program would.

#include "transfer/portnames.h"

#include <QProcess>

class PortHolder
{
public:
    bool hold(const QString &device)
    {
        m_process.start(qEnvironmentVariable("QUILLET_HOLDPORT"), {device});
        if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000))
            return false;
        return m_process.readAllStandardOutput().startsWith("HELD");
    }
    bool hold(qint16 portNumber) { return hold(PortNames::deviceForPort(portNumber)); }
    qint64 processId() const { return m_process.processId(); }
    ~PortHolder()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QProcess m_process;
};
