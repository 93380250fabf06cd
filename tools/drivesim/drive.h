#pragma once

#include "drivesettings.h"
#include "ptyline.h"
#include "ratemismatch.h"
#include "receiver.h"
#include "transmitter.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace drivesim {

enum class Mode { Idle, Transmit, Receive, Auto };

// The simulated drive: serves the program through a PtyLine, one session per open of the
// port, doing whatever the current mode says. Everything runs from timers on one thread.
class Drive : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTickMs = 2;
    static constexpr int kAutoWaitMs = 1500;
    static constexpr int kProgressReportMs = 100;
    // Characters on a wire reach the PC before the wire is cut; on a pty, closing the master
    // throws away what the program has not read yet. The drive stops sending and waits this
    // long before it hangs up, so the program gets everything sent up to that point, even on
    // a machine so busy that the program reads nothing for a second.
    static constexpr int kHangupLingerMs = 1500;

    explicit Drive(QObject *parent = nullptr);

    // Opens the pty behind linkPath. Returns an error text, empty on success.
    QString start(const QString &linkPath);
    // Hangs up for good and removes the link.
    void shutDown();

    const DriveSettings &settings() const { return m_settings; }
    // Buffer sizes, rate and faults apply from the next transmission or reception; a
    // hangup count at once.
    void setSettings(const DriveSettings &settings) { m_settings = settings; }

    // Changes what the drive does: at once if the port is open, else at the next open.
    // Returns an error text, empty on success.
    QString setMode(Mode mode, const QString &file = {});
    Mode mode() const { return m_mode; }
    bool isConnected() const { return m_line.isConnected(); }

Q_SIGNALS:
    void ready(const QString &slavePath);
    void opened();
    void closed();
    // Characters sent so far, at most every few tenths of a second: for a panel.
    void txProgress(qint64 sent);
    void txDone(qint64 count);
    void rxProgress(qint64 total);
    // Characters the PC sent after the drive's XOFF that a real drive would have lost (see
    // Receiver): whenever the count grows, and at the end of every reception.
    void overrun(qint64 count);
    void pcStopped(bool stopped);
    // The program's port runs at pcBaud, not at the drive's rate, and the line garbles what
    // crosses it this session.
    void ratesDiffer(int pcBaud);
    void hungUp();
    void error(const QString &text);

private:
    enum class Activity { None, Draining, AutoWaiting, TxDelay, Transmitting, TxDone, Receiving };

    void onConnected();
    void onDisconnected();
    void tick();
    void beginActivity();
    void endActivity(bool keepBuffered);
    void pumpIncoming();
    void pumpAutoWaiting();
    void serviceTransmit();
    void serviceReceive();
    void reportRx(bool force);
    qint64 sessionCount() const;
    void checkHangup();
    void hangUp();
    bool loadPayload(const QString &path);
    void startTransmit();
    void startReceive(const QString &path, const QByteArray &alreadyRead);
    QByteArray fromLine(const QByteArray &bytes);
    int mismatchedPcBaud();
    void fail(const QString &text);

    PtyLine m_line;
    QTimer m_tick;
    QString m_linkPath;
    DriveSettings m_settings;
    Mode m_mode = Mode::Auto;
    QString m_modeFile;
    Activity m_activity = Activity::None;
    QElapsedTimer m_activityClock;
    QByteArray m_payload;
    Transmitter m_tx;
    Receiver m_rx;
    // What the drive makes of the PC's characters; set up when the first ones arrive, by
    // which time the program has surely set its port.
    RateMismatch m_lineIn;
    bool m_lineInSet = false;
    bool m_rxSession = false;
    qint64 m_rxReported = -1;
    qint64 m_overrunReported = 0;
    QElapsedTimer m_rxReportClock;
    qint64 m_txReported = -1;
    QElapsedTimer m_txReportClock;
    bool m_hangupDue = false;
    QDeadlineTimer m_hangupAt;
};

} // namespace drivesim
