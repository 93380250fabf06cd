#pragma once

#include "commandinterpreter.h"

#include <QList>
#include <QObject>
#include <QString>

namespace drivesim {

class Drive;

// The drive's serial-link menu, in the order the front panel lists it.
enum class LinkFunction { Off, DumpMmi, JxfTransmit, JxfReceive };

// The files the drive sends and the one it receives into.
struct PanelFiles
{
    QString dump;
    QString parameters;
    QString received;
};

// What the front panel's controls make the drive do, without the widgets: each choice
// becomes the same text command the simulator takes on standard input, and the drive's
// events become the panel's status line and byte count.
class PanelController : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kSilentAfter = 1000;
    static constexpr int kDefaultBaud = 9600;

    // Puts the drive in the state of a drive just switched on: link off, default rate. A
    // rate other than the program's garbles the line, as it would on a real one.
    PanelController(Drive &drive, const PanelFiles &files, QObject *parent = nullptr);

    // The menu's texts, as the program's page 2 names them.
    static QString functionName(LinkFunction function);
    static QList<LinkFunction> functions();
    // The rates the program offers; the drive paces its line at the chosen one.
    static QList<int> baudRates();

    QString commandFor(LinkFunction function) const;

    // Each returns an error text, empty when the drive took the command.
    QString select(LinkFunction function);
    QString setBaud(int baud);
    // A drive that stops talking part-way, from its next transmission on.
    QString setSilent(bool silent);

    LinkFunction function() const { return m_function; }
    int baud() const { return m_baud; }
    QString status() const { return m_status; }
    qint64 byteCount() const { return m_byteCount; }

Q_SIGNALS:
    void statusChanged(const QString &status);
    void byteCountChanged(qint64 count);

private:
    QString run(const QString &command);
    void connectDrive();
    void setStatus(const QString &status);
    void setByteCount(qint64 count);
    QString waitingText() const;
    QString garbledText() const;

    Drive &m_drive;
    CommandInterpreter m_interpreter;
    PanelFiles m_files;
    LinkFunction m_function = LinkFunction::Off;
    QString m_slave;
    QString m_status;
    qint64 m_byteCount = 0;
    int m_baud = 0;
    bool m_silent = false;
    int m_pcBaud = 0; // the program's rate when it is not the drive's, this session
};

} // namespace drivesim
