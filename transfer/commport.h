#pragma once

#include "transfer/commsettings.h"
#include "transfer/lineport.h"
#include "transfer/outputdrain.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <memory>

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
    bool portOpen() const { return m_device != nullptr; }
    // Characters a USB adapter's chip may hold past the driver's count; the
    // drain then lasts as long as the line takes to send them. 0 (the
    // default) for a port whose driver sees its last character leave.
    bool setAdapterBuffer(qint32 chars);

    // Why the last open failed, as the system said it.
    enum class OpenFailure { None, NoDevice, Busy, NotPermitted, NotATerminal, Refused };
    OpenFailure openFailure() const { return m_openFailure; }
    // The device the port opens: the COM number's, or the path given.
    QString devicePath() const { return m_path; }

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
    bool lost() override;
    qint64 lineErrors() override;
    void close() override { setPortOpen(false); }
    qint64 discarded() const override { return m_discarded; }

    // The operating system's handle of the open port, -1 when closed.
    qintptr handle() const;

private:
    bool open();
    bool writePending();
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
    // Ends a wait for input once characters have come.
    void onDeviceReadable();
    // Hands what is held here to the device when it takes characters again.
    void onDeviceWritable();

    // The platform's half (commport_posix.cpp, commport_win.cpp): the open
    // device and what wakes the event loop for it. It exists while the port
    // is open.
    struct Device;
    // Opens m_path with every property applied, and discards what the
    // device received before; false leaves it closed, with m_openFailure set.
    bool openDevice();
    // The device's own drain; the tail of an adapter's chip is drain()'s.
    DrainStatus deviceDrain();
    // The driver holds the output for the drive's XOFF, where it tells.
    bool outputHeld();
    // Ends drain()'s wait for an adapter's tail: Done, or Pending while the
    // line is still sending it.
    DrainStatus waitForTail();
    // The line errors the device counted since the open.
    qint64 deviceLineErrors();
    // Discards what the device still holds and closes it; returns how many
    // characters were discarded, with those still held here.
    qint64 closeDevice();
    std::unique_ptr<Device> m_device;
    // How long a close gives a released drain to let go of the device, so
    // that the close is the device's last, as it would be without one.
    static constexpr int kDrainReleaseMsecs = 100;

    OpenFailure m_openFailure = OpenFailure::None;
    qint32 m_adapterBuffer = 0;
    // While an adapter's tail is on the line, after the device's drain.
    QElapsedTimer m_tailStarted;
    std::unique_ptr<QTimer> m_tailEnd;
    qint64 m_lineErrors = 0;
    qint16 m_portNumber = 0;
    QString m_path;
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
    // The device takes no more for now: the last write left characters
    // behind, or (Windows) the driver still holds it.
    bool m_deviceFull = false;
    bool m_failed = false;
    qint64 m_discarded = 0;
    // The drain runs by itself; a close leaves it behind.
    OutputDrain m_drain;
};
