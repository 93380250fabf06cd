#pragma once

// The simulated drive as a separate process on a real pseudo-terminal, for
// the end-to-end tests.

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>

class DriveSimProcess
{
public:
    ~DriveSimProcess() { stop(); }

    // Starts the simulator serving COM<com> below settingsDir and waits until
    // its link is in place.
    bool start(const QString &settingsDir, const QStringList &arguments, int com = 1)
    {
        const QString program = qEnvironmentVariable("QUILLET_DRIVESIM");
        if (program.isEmpty())
            return false;
        m_process.setProgram(program);
        m_process.setArguments(
            QStringList{"--settings-dir", settingsDir, "--com", QString::number(com)} + arguments);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        return waitFor("READY", 5000);
    }

    // Waits, handling window events, until the simulator has printed a line
    // that starts with prefix. Lines are kept, so an event already printed counts.
    bool waitFor(const QString &prefix, int msecs)
    {
        QDeadlineTimer deadline(msecs);
        while (true) {
            readLines();
            for (const QString &line : std::as_const(m_lines)) {
                if (line.startsWith(prefix))
                    return true;
            }
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                qWarning("drivesim did not say %s; it said: %s", qPrintable(prefix),
                         qPrintable(m_lines.join(QLatin1String(" | "))));
                return false;
            }
            QTest::qWait(5);
        }
    }

    void command(const QString &line)
    {
        m_process.write(line.toLocal8Bit() + '\n');
        m_process.waitForBytesWritten(1000);
    }

    QStringList lines()
    {
        readLines();
        return m_lines;
    }
    // What the simulator said with each event called name, in order ("OVERRUN 0" gives "0").
    QStringList said(const QString &name)
    {
        QStringList values;
        for (const QString &line : lines()) {
            if (line.startsWith(name + QLatin1Char(' ')))
                values.append(line.mid(name.size() + 1));
        }
        return values;
    }
    void forgetLines()
    {
        readLines();
        m_lines.clear();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

private:
    void readLines()
    {
        m_buffer += m_process.readAllStandardOutput();
        for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n')) {
            m_lines.append(QString::fromLocal8Bit(m_buffer.left(end)));
            m_buffer.remove(0, end + 1);
        }
    }

    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_lines;
};
