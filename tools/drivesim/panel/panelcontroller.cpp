#include "panelcontroller.h"

#include "drive.h"

namespace drivesim {

namespace {

QString silentText(bool silent)
{
    return silent ? QStringLiteral(" (goes silent after %1 characters)")
                        .arg(PanelController::kSilentAfter)
                  : QString();
}

} // namespace

PanelController::PanelController(Drive &drive, const PanelFiles &files, QObject *parent)
    : QObject(parent)
    , m_drive(drive)
    , m_interpreter(drive)
    , m_files(files)
{
    connectDrive();
    run(QStringLiteral("garble-mismatch on"));
    run(commandFor(LinkFunction::Off));
    setBaud(kDefaultBaud);
    setStatus(waitingText());
}

QString PanelController::functionName(LinkFunction function)
{
    switch (function) {
    case LinkFunction::Off:
        return QStringLiteral("(serial link off)");
    case LinkFunction::DumpMmi:
        return QStringLiteral("DUMP MMI (Drive TX)");
    case LinkFunction::JxfTransmit:
        return QStringLiteral("JXF XFER (Drive TX)");
    case LinkFunction::JxfReceive:
        return QStringLiteral("JXF XFER (Drive RX)");
    }
    return {};
}

QList<LinkFunction> PanelController::functions()
{
    return {LinkFunction::Off, LinkFunction::DumpMmi, LinkFunction::JxfTransmit,
            LinkFunction::JxfReceive};
}

QList<int> PanelController::baudRates()
{
    return {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600};
}

QString PanelController::commandFor(LinkFunction function) const
{
    switch (function) {
    case LinkFunction::Off:
        return QStringLiteral("idle");
    case LinkFunction::DumpMmi:
        return QStringLiteral("transmit ") + m_files.dump;
    case LinkFunction::JxfTransmit:
        return QStringLiteral("transmit ") + m_files.parameters;
    case LinkFunction::JxfReceive:
        return QStringLiteral("receive ") + m_files.received;
    }
    return {};
}

QString PanelController::select(LinkFunction function)
{
    const QString error = run(commandFor(function));
    if (!error.isEmpty())
        return error;
    m_function = function;
    setByteCount(0);
    setStatus(m_drive.isConnected() ? functionName(function) + QStringLiteral(": started")
                                    : waitingText());
    return {};
}

QString PanelController::setBaud(int baud)
{
    if (!baudRates().contains(baud))
        return QStringLiteral("%1 baud is not a rate the program offers").arg(baud);
    const QString error = run(QStringLiteral("baud %1").arg(baud));
    if (error.isEmpty())
        m_baud = baud;
    return error;
}

QString PanelController::setSilent(bool silent)
{
    const QString error = run(silent ? QStringLiteral("silence -1 %1").arg(kSilentAfter)
                                     : QStringLiteral("silence off"));
    if (error.isEmpty())
        m_silent = silent;
    return error;
}

QString PanelController::run(const QString &command)
{
    const CommandOutcome outcome = m_interpreter.run(command);
    if (!outcome.ok())
        setStatus(QStringLiteral("Error: ") + outcome.error);
    return outcome.error;
}

QString PanelController::garbledText() const
{
    return m_pcBaud ? QStringLiteral(" (garbled: the PC's port runs at %1 baud, the drive at %2)")
                          .arg(m_pcBaud)
                          .arg(m_baud)
                    : QString();
}

QString PanelController::waitingText() const
{
    const QString port = m_slave.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_slave);
    if (m_function == LinkFunction::Off)
        return QStringLiteral("Serial link off%1").arg(port);
    return QStringLiteral("%1: waiting for the PC to open the port%2%3")
        .arg(functionName(m_function), port, silentText(m_silent));
}

void PanelController::connectDrive()
{
    connect(&m_drive, &Drive::ready, this, [this](const QString &slave) {
        m_slave = slave;
        setStatus(waitingText());
    });
    connect(&m_drive, &Drive::opened, this, [this] {
        setByteCount(0);
        m_pcBaud = 0;
        setStatus(m_function == LinkFunction::Off
                      ? QStringLiteral("PC opened the port; the serial link is off")
                      : functionName(m_function) + QStringLiteral(": PC connected") +
                            silentText(m_silent));
    });
    connect(&m_drive, &Drive::closed, this,
            [this] { setStatus(QStringLiteral("PC closed the port. ") + waitingText()); });
    connect(&m_drive, &Drive::txProgress, this, &PanelController::setByteCount);
    connect(&m_drive, &Drive::txDone, this, [this](qint64 count) {
        setByteCount(count);
        // The count takes in the end of data, which the PC stores but does not count.
        setStatus(functionName(m_function) +
                  QStringLiteral(": all sent, the last character Ctrl-Z (end of data)") +
                  garbledText());
    });
    connect(&m_drive, &Drive::rxProgress, this, [this](qint64 total) {
        setByteCount(total);
        if (m_function == LinkFunction::JxfReceive)
            setStatus(functionName(m_function) + QStringLiteral(": receiving") + garbledText());
    });
    connect(&m_drive, &Drive::overrun, this, [this](qint64 count) {
        if (count > 0)
            setStatus(functionName(m_function) +
                      QStringLiteral(": PC sent %1 characters after XOFF (overrun)").arg(count));
    });
    connect(&m_drive, &Drive::pcStopped, this, [this](bool stopped) {
        setStatus(stopped ? QStringLiteral("PC asked the drive to wait (XOFF)")
                          : functionName(m_function) + QStringLiteral(": PC resumed (XON)"));
    });
    connect(&m_drive, &Drive::ratesDiffer, this, [this](int pcBaud) {
        m_pcBaud = pcBaud;
        setStatus(functionName(m_function) + garbledText());
    });
    connect(&m_drive, &Drive::hungUp, this, [this] { setStatus(QStringLiteral("Drive hung up")); });
    connect(&m_drive, &Drive::error, this,
            [this](const QString &text) { setStatus(QStringLiteral("Error: ") + text); });
}

void PanelController::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT statusChanged(status);
}

void PanelController::setByteCount(qint64 count)
{
    if (count == m_byteCount)
        return;
    m_byteCount = count;
    Q_EMIT byteCountChanged(count);
}

} // namespace drivesim
