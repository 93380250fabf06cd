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

    int m_master = -1;
    bool m_connected = false;
    QString m_slavePath;
    QString m_linkPath;
    QTimer m_pollTimer;
};

} // namespace drivesim
