#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

namespace drivesim {

// The drive's end of the serial line: the master side of a pseudo-terminal whose slave is
// reached by the program through a symbolic link such as dosdevices/com1.
//
// The slave's termios belong to the program, so nothing here ever sets them. Whether the
// program has the port open is learned by polling the master: it reports POLLHUP exactly
// while no slave descriptor is open.
//
// The master runs in packet mode, so that the drive learns when the program's end stops
// and starts its output on the drive's XOFF and XON: what a wire shows as characters
// ceasing to arrive, a pty shows only this way, since it hands over what the program
// wrote before the stop whenever the drive reads.
class PtyLine : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 3;

    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // Opens a fresh pty and points linkPath at its slave, replacing an older link.
    // Returns an error text, empty on success.
    QString open(const QString &linkPath);
    // Hangs up: closes the master, so the program's descriptor reads EOF and fails writes.
    // The link is left in place for open() to replace.
    void close();
    // close(), and removes the link if it still names this slave, so that a later
    // terminal given the same pts number is not mistaken for the drive.
    void shutDown();

    bool isOpen() const { return m_master >= 0; }
    bool isConnected() const { return m_connected; }
    QString slavePath() const { return m_slavePath; }

    // Reads at most maxBytes of what the program sent. Empty when nothing is there; an
    // error other than "nothing yet" or "slave closed" is reported through failed().
    QByteArray read(qint64 maxBytes);
    // Writes what the pty takes now; returns the count written (0 when full), -1 on error.
    qint64 write(const char *data, qint64 size);
    // Drops what the drive wrote and the program did not read before it closed the port.
    // Only while the port is closed.
    bool discardUnread();
    // Whether the program asked for XON/XOFF on its input (IXON on the slave).
    bool programUsesSoftwareFlow() const;
    // Whether the program's end has stopped its output on an XOFF, and how many times it
    // has stopped since the pty was opened (a stop and the start after it that fall
    // between two reads still count once).
    bool programStopped() const { return m_programStopped; }
    int programStops() const { return m_programStops; }
    // The rate the program set on its port; 0 when it is not one of the usual rates.
    int programBaud() const;

Q_SIGNALS:
    void connected();
    void disconnected();
    void failed(const QString &what);

private:
    void pollLine();
    QString createPty();
    QString armHangupState();
    QString touchSlave(bool flushInput);
    QString linkTo(const QString &linkPath);
    void takeStatus();
    void noteStatus(char status);

    int m_master = -1;
    bool m_connected = false;
    QString m_slavePath;
    QString m_linkPath;
    QTimer m_pollTimer;
    bool m_programStopped = false;
    int m_programStops = 0;
};

} // namespace drivesim
