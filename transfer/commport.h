#pragma once

#include "transfer/commsettings.h"
#include "transfer/lineport.h"
#include "transfer/outputdrain.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>

// The program's one serial port (SComms). Its properties are set while it is
// closed and take effect when it opens; every setter reports failure as false.
// Nothing here waits: reads and writes take what the device has or takes at
// once, and what the loop waits for wakes the thread's event loop.
class CommPort : public LinePort
{
public:
    static constexpr qint16 kDefaultInBufferSize = 1024;
    enum Handshake { NoHandshaking = 0, XonXoff = 1, RtsCts = 2 };

    CommPort();
    ~CommPort() override;
    CommPort(const CommPort &) = delete;
    CommPort &operator=(const CommPort &) = delete;

    bool setCommPort(qint16 portNumber);
    qint16 commPort() const { return m_portNumber; }
    // The device at path instead of a numbered port; commPort() is then 0.
    bool setDevice(const QString &path);
    // False for a baud rate below 1.
    bool setSettings(const CommSettings &settings);
    CommSettings settings() const { return m_settings; }
    bool setInBufferSize(qint16 size);
    bool setOutBufferSize(qint16 size);
    bool setHandshaking(qint32 handshaking);
    // Opening applies every property; closing discards queued output first,
    // so that it never waits for the line, and counts what it discarded.
    // Closing a closed port is harmless.
    bool setPortOpen(bool open);
    bool portOpen() const;

    // The number of received characters waiting to be read; 0 when closed.
    qint64 inBufferCount();

    bool output(const QByteArray &data) override;
    QByteArray input() override;
    bool inputWaiting() override;
    int gatherMsecs(int most) const override;
    qint64 queuedOutput() override;
    qint64 outBufferSize() const override { return m_outBufferSize; }
    DrainStatus drain() override;
    void wakeOn(Wake what) override;
    bool failed() const override { return m_failed; }
    void close() override { setPortOpen(false); }
    qint64 discarded() const override { return m_discarded; }

    // The operating system's handle of the open port, -1 when closed.
    qintptr handle() const;

private:
    bool open();
    bool applyHandshaking();
    bool writePending();
    // Characters accepted and not yet on the line, with the device asked afresh.
    qint64 unsentOutput();
    // True when output() may keep characters for the next write.
    bool holdForBatch() const;
    // Reads how many characters the device holds; false on an error.
    bool readDeviceQueue();
    // The longest a gathering wait lasts: the time the line takes for
    // kGatherChars at the port's rate. A fast line never comes near filling
    // the receive queue meanwhile, and the last character, the end of data,
    // is read at most that many character times late: under 1% of the time
    // a parameter file takes on the line.
    static constexpr qint64 kGatherChars = 96;
    void markFailed() { m_failed = true; }
    // Hands what is held here to the device when it takes characters again.
    void onDeviceWritable();
    // What lets the event loop hear of the open device, and its end.
    void startWakes();
    void stopWakes();

    QSerialPort m_port;
    qint16 m_portNumber = 0;
    QString m_device;
    CommSettings m_settings;
    qint16 m_inBufferSize = kDefaultInBufferSize;
    qint16 m_outBufferSize = 512;
    qint32 m_handshaking = NoHandshaking;
    // Characters accepted by output() that the device has not taken yet:
    // refused while it was full, or held back for the next write.
    QByteArray m_pending;
    // When the device last took characters, and how many it then held: that
    // count only falls until the next write.
    QElapsedTimer m_lastWrite;
    qint64 m_deviceQueued = 0;
    // The last write left characters behind: the device takes no more for now.
    bool m_deviceFull = false;
    bool m_failed = false;
    qint64 m_discarded = 0;
    // Wake the event loop when characters arrive, only while the loop waits
    // for them, and when the device takes characters again, only while the
    // loop waits for room and characters are held here.
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    // The drain runs by itself; a close leaves it behind.
    OutputDrain m_drain;
};
