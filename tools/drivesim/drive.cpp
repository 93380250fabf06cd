#include "drive.h"

#include <QFile>
#include <QFileInfo>

namespace drivesim {

namespace {
// What a drive that is not receiving takes from the line per tick, to look for XON/XOFF.
constexpr qint64 kDiscardChunk = 4096;

QByteArray withoutFlowCharacters(QByteArray bytes)
{
    bytes.removeIf([](char c) { return c == kXon || c == kXoff; });
    return bytes;
}
} // namespace

Drive::Drive(QObject *parent)
    : QObject(parent)
{
    m_tick.setInterval(kTickMs);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &Drive::tick);
    connect(&m_line, &PtyLine::connected, this, &Drive::onConnected);
    connect(&m_line, &PtyLine::disconnected, this, &Drive::onDisconnected);
    connect(&m_line, &PtyLine::failed, this, &Drive::error);
}

QString Drive::start(const QString &linkPath)
{
    m_linkPath = linkPath;
    const QString problem = m_line.open(linkPath);
    if (problem.isEmpty())
        Q_EMIT ready(m_line.slavePath());
    return problem;
}

void Drive::shutDown()
{
    if (m_line.isConnected())
        endActivity(true);
    m_tick.stop();
    m_line.shutDown();
}

QString Drive::setMode(Mode mode, const QString &file)
{
    if (mode == Mode::Transmit && !QFileInfo(file).isReadable())
        return QStringLiteral("cannot read %1").arg(file);
    if (mode == Mode::Receive && file.isEmpty())
        return QStringLiteral("no file to receive into");
    m_mode = mode;
    m_modeFile = file;
    if (m_line.isConnected()) {
        endActivity(true);
        beginActivity();
    }
    return {};
}

void Drive::fail(const QString &text)
{
    Q_EMIT error(text);
}

void Drive::onConnected()
{
    Q_EMIT opened();
    beginActivity();
    m_tick.start();
}

void Drive::onDisconnected()
{
    m_tick.stop();
    // What the drive sent and the program never read would otherwise greet the next session.
    m_line.discardUnread();
    // The program may close right after its last write: take in everything it sent, past
    // the buffer's size, since flow control no longer matters.
    if (m_activity == Activity::Receiving) {
        for (QByteArray rest = m_line.read(kDiscardChunk); !rest.isEmpty();
             rest = m_line.read(kDiscardChunk))
            m_rx.accept(fromLine(rest));
    }
    endActivity(true);
    Q_EMIT closed();
}

void Drive::beginActivity()
{
    m_tx.reset();
    m_lineIn.stop();
    m_lineInSet = false;
    m_rxSession = false;
    m_activityClock.start();
    switch (m_mode) {
    case Mode::Idle:
        m_activity = Activity::Draining;
        break;
    case Mode::Transmit:
        m_activity = loadPayload(m_modeFile) ? Activity::TxDelay : Activity::Draining;
        break;
    case Mode::Receive:
        startReceive(m_modeFile, {});
        break;
    case Mode::Auto:
        m_activity = Activity::AutoWaiting;
        break;
    }
}

// Ends what the session was doing. What the drive holds from the PC is kept unless the
// drive hangs up.
void Drive::endActivity(bool keepBuffered)
{
    if (m_activity == Activity::Receiving) {
        m_rx.accept(m_lineIn.finish());
        const QString problem = m_rx.finish(m_line, keepBuffered);
        if (!problem.isEmpty())
            fail(problem);
    }
    if (m_rxSession)
        reportRx(true);
    m_rxSession = false;
    m_tx.reset();
    m_activity = Activity::None;
    m_hangupDue = false;
}

bool Drive::loadPayload(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    m_payload = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (m_settings.sendEof)
        m_payload.append(kEof);
    return true;
}

void Drive::startTransmit()
{
    const int pcBaud = mismatchedPcBaud();
    m_tx.start(pcBaud ? RateMismatch::garbled(m_payload, m_settings.baud, pcBaud) : m_payload,
               charsPerSecond(m_settings.baud), m_settings.faults);
    m_activity = Activity::Transmitting;
    m_txReported = -1;
    m_txReportClock.start();
}

void Drive::startReceive(const QString &path, const QByteArray &alreadyRead)
{
    const QString problem =
        m_rx.start(path, charsPerSecond(m_settings.baud), m_settings.buffer, m_settings.faults);
    if (!problem.isEmpty()) {
        fail(problem);
        m_activity = Activity::Draining;
        return;
    }
    m_rx.accept(fromLine(alreadyRead));
    m_rxSession = true;
    m_rxReported = -1;
    m_overrunReported = 0;
    m_rxReportClock.start();
    m_activity = Activity::Receiving;
}

// The program's rate when the drive is told to garble a line whose two ends disagree and
// they do; otherwise 0. Said once per session.
int Drive::mismatchedPcBaud()
{
    if (!m_settings.garbleMismatch || m_settings.baud <= 0)
        return 0;
    const int pcBaud = m_line.programBaud();
    if (pcBaud <= 0 || pcBaud == m_settings.baud)
        return 0;
    Q_EMIT ratesDiffer(pcBaud);
    return pcBaud;
}

QByteArray Drive::fromLine(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return bytes;
    if (!m_lineInSet) {
        m_lineInSet = true;
        if (const int pcBaud = mismatchedPcBaud())
            m_lineIn.start(pcBaud, m_settings.baud);
    }
    return m_lineIn.pass(bytes);
}

void Drive::tick()
{
    pumpIncoming();
    if (m_activity == Activity::TxDelay && m_activityClock.elapsed() >= m_settings.startDelayMs)
        startTransmit();
    if (m_activity == Activity::Transmitting)
        serviceTransmit();
    else if (m_activity == Activity::Receiving)
        serviceReceive();
    checkHangup();
}

void Drive::checkHangup()
{
    const qint64 hangupAfter = m_settings.faults.hangupAfter;
    if (hangupAfter < 0) {
        m_hangupDue = false;
        return;
    }
    if (!m_hangupDue && sessionCount() >= hangupAfter) {
        m_hangupDue = true;
        m_hangupAt = QDeadlineTimer(kHangupLingerMs);
    }
    if (m_hangupDue && m_hangupAt.hasExpired())
        hangUp();
}

void Drive::pumpIncoming()
{
    switch (m_activity) {
    case Activity::Receiving:
        m_rx.accept(fromLine(m_line.read(m_rx.room())));
        break;
    case Activity::AutoWaiting:
        pumpAutoWaiting();
        break;
    case Activity::None:
        break;
    default:
        m_tx.handleIncoming(m_line.read(kDiscardChunk));
        break;
    }
}

// XON/XOFF from the PC are not data: only real characters make the drive receive.
void Drive::pumpAutoWaiting()
{
    const QByteArray bytes = m_line.read(m_settings.buffer.capacity);
    const QByteArray data = withoutFlowCharacters(bytes);
    if (!data.isEmpty()) {
        m_tx.handleIncoming(bytes);
        startReceive(m_settings.receiveFile, bytes.mid(bytes.indexOf(data.front())));
        return;
    }
    m_tx.handleIncoming(bytes);
    if (m_activityClock.elapsed() < kAutoWaitMs)
        return;
    if (loadPayload(m_settings.dumpFile))
        startTransmit();
    else
        m_activity = Activity::Draining;
}

void Drive::serviceTransmit()
{
    m_tx.setLimit(m_settings.faults.hangupAfter);
    if (!m_tx.service(m_line)) {
        m_activity = Activity::Draining;
        return;
    }
    if (m_tx.isFinished()) {
        m_activity = Activity::TxDone;
        Q_EMIT txDone(m_tx.sent());
    } else if (m_tx.sent() != m_txReported && m_txReportClock.elapsed() >= kProgressReportMs) {
        m_txReported = m_tx.sent();
        m_txReportClock.restart();
        Q_EMIT txProgress(m_txReported);
    }
}

void Drive::serviceReceive()
{
    const bool wasStopped = m_rx.pcStopped();
    m_rx.setLimit(m_settings.faults.hangupAfter);
    const QString problem = m_rx.service(m_line);
    if (m_rx.pcStopped() != wasStopped)
        Q_EMIT pcStopped(m_rx.pcStopped());
    if (!problem.isEmpty()) {
        fail(problem);
        m_rx.finish(m_line, false);
        reportRx(true);
        m_rxSession = false;
        m_activity = Activity::Draining;
        return;
    }
    reportRx(false);
}

void Drive::reportRx(bool force)
{
    const qint64 total = m_rx.consumed();
    if (force || m_rx.overrun() != m_overrunReported) {
        m_overrunReported = m_rx.overrun();
        Q_EMIT overrun(m_overrunReported);
    }
    if (!force && (total == m_rxReported || m_rxReportClock.elapsed() < kProgressReportMs))
        return;
    m_rxReported = total;
    m_rxReportClock.restart();
    Q_EMIT rxProgress(total);
}

qint64 Drive::sessionCount() const
{
    if (m_activity == Activity::Transmitting || m_activity == Activity::TxDone)
        return m_tx.sent();
    if (m_activity == Activity::Receiving)
        return m_rx.consumed();
    return 0;
}

void Drive::hangUp()
{
    m_tick.stop();
    endActivity(false);
    m_line.close();
    Q_EMIT hungUp();
    const QString problem = m_line.open(m_linkPath);
    if (problem.isEmpty())
        Q_EMIT ready(m_line.slavePath());
    else
        fail(problem);
}

} // namespace drivesim
