#include "transfer/transferloop.h"

#include "transfer/lineport.h"
#include "transfer/systemclock.h"
#include "transfer/transferfile.h"
#include "transfer/transferstate.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace {

// A blank, then the number: built in one go, as the send loop shows a new
// count for every character.
QString numberText(qint32 value)
{
    std::array<char, 16> text{' '};
    const auto end = std::to_chars(text.data() + 1, text.data() + text.size(), value).ptr;
    return QString::fromLatin1(text.data(), end - text.data());
}

} // namespace

QString transferFaultMessage(TransferFault fault)
{
    const QString stopped = QStringLiteral("\rThe transfer has been stopped.");
    switch (fault) {
    case TransferFault::None:
        break;
    case TransferFault::PortFailed:
        return QStringLiteral("The Comms Port stopped working: the cable, adapter or drive "
                              "went away.") +
               stopped;
    case TransferFault::FileReadFailed:
        return QStringLiteral("The selected file could not be read.") + stopped;
    case TransferFault::FileShorter:
        return QStringLiteral("The selected file became shorter while it was being sent.") +
               stopped;
    case TransferFault::FileWriteFailed:
        return QStringLiteral("The selected file could not be written; the disk may be full.") +
               stopped;
    case TransferFault::CountOverflow:
        return QStringLiteral("More characters arrived than the program can count.") + stopped;
    }
    return QString();
}

QString lineErrorNote(qint64 lineErrors)
{
    if (lineErrors <= 0)
        return QString();
    const QString damaged = lineErrors == 1
                                ? QStringLiteral("1 character was damaged")
                                : QStringLiteral("%1 characters were damaged").arg(lineErrors);
    return damaged + QStringLiteral(" on the line (framing, parity or overrun errors); a "
                                    "different baud rate on the drive or a bad cable is the "
                                    "usual cause.");
}

qint16 transferPercent(qint32 count, qint32 size)
{
    if (size <= 0)
        return 0;
    const double percent = static_cast<double>(count) / static_cast<double>(size) * 100.0;
    // nearbyint rounds exact halves to the even neighbour in the default mode.
    const double rounded = std::nearbyint(percent);
    return static_cast<qint16>(std::clamp(rounded, double(std::numeric_limits<qint16>::min()),
                                          double(std::numeric_limits<qint16>::max())));
}

void pause(TransferClock &clock, qint16 seconds, const std::function<bool()> &stop)
{
    const double end = clock.seconds() + seconds;
    for (double now = clock.seconds(); now < end && !stop(); now = clock.seconds())
        clock.waitForEvents(std::min(kLossLookMsecs, int(std::ceil((end - now) * 1000))), stop);
}

TransferLoop::TransferLoop(TransferState &state, LinePort &port, TransferFile &file,
                           TransferView &view, TransferClock &clock)
    : m_state(state)
    , m_port(port)
    , m_file(file)
    , m_view(view)
    , m_clock(clock)
{}

RunResult TransferLoop::run()
{
    startRun();
    if (TransferType::isSend(m_state.iTransferType)) {
        sendLoop();
    } else {
        receiveLoop();
        // A closed port keeps the count of its last open.
        m_result.lineErrors = m_port.lineErrors();
    }
    return m_result;
}

bool TransferLoop::cancelAsked() const
{
    return m_state.bAbortTransfer;
}

bool TransferLoop::lostMeanwhile()
{
    const double now = m_clock.seconds();
    if (now < m_nextLossLook)
        return m_port.failed();
    m_nextLossLook = now + kLossLookMsecs / 1000.0;
    return m_port.lost();
}

void TransferLoop::startRun()
{
    m_done = false;
    m_shownCount = 0;
    m_lastBlock = m_clock.seconds();
    m_pausedFor = 0;
    m_retrying = false;
    m_heldCounted = 0;
    m_nextStore = 0;
    m_nextLossLook = 0;
    m_result = {};
    m_state.lByteCount = 0;
    m_state.bAbortTransfer = false;
    m_state.bTransferActive = true;
    m_state.dtTransferStarted = m_clock.wallClock();
    m_view.setLabel(ViewLabel::Status, TransferText::kInProgress);
    m_view.setBackEnabled(false);
    m_view.setFinishCaption(TransferText::kCancelCaption);
    m_view.setReportEnabled(false);
    m_view.repaintPage();
}

void TransferLoop::sendLoop()
{
    for (;;) {
        if (m_done)
            break;
        if (cancelAsked()) {
            cancelSending();
            return;
        }
        if (m_state.lByteCount == m_state.lFileSize) {
            m_done = true;
            m_clock.pumpEvents();
            continue;
        }
        char c = 0;
        if (!readNextChar(c))
            return;
        if (c == kEndOfData) {
            m_done = true;
            m_clock.pumpEvents();
            continue;
        }
        if (!sendChar(c))
            return;
        ++m_state.lByteCount;
        displayUpdate(transferPercent(m_state.lByteCount, m_state.lFileSize));
        m_clock.pumpEvents();
    }
    // A cancel in the pump of the last pass is a cancel like any other;
    // otherwise the data must have left the PC before "complete".
    if (cancelAsked())
        cancelSending();
    else if (drainQueue())
        endRun(TransferOutcome::Completed);
}

bool TransferLoop::readNextChar(char &c)
{
    switch (m_file.readChar(c)) {
    case TransferFile::ReadStatus::Ok:
        return true;
    case TransferFile::ReadStatus::End:
        failRun(TransferFault::FileShorter);
        return false;
    case TransferFile::ReadStatus::Error:
        break;
    }
    failRun(TransferFault::FileReadFailed);
    return false;
}

bool TransferLoop::sendChar(char c)
{
    switch (waitForQueueBelow(m_port.outBufferSize())) {
    case Wait::Ready:
        break;
    case Wait::Cancelled:
        cancelSending();
        return false;
    case Wait::Failed:
        failRun(TransferFault::PortFailed);
        return false;
    }
    if (!m_port.output(QByteArray(1, c))) {
        failRun(TransferFault::PortFailed);
        return false;
    }
    return true;
}

bool TransferLoop::drainQueue()
{
    Wait wait = waitForQueueBelow(1);
    if (wait == Wait::Ready)
        wait = waitForDrain();
    if (wait == Wait::Cancelled)
        cancelSending();
    else if (wait == Wait::Failed)
        failRun(TransferFault::PortFailed);
    return wait == Wait::Ready;
}

template<typename Look>
TransferLoop::Wait TransferLoop::waitOnOutput(int msecs, Look look)
{
    std::optional<Wait> result;
    const auto settled = [&] {
        result = cancelAsked() ? Wait::Cancelled : look();
        return result.has_value();
    };
    if (settled())
        return *result;
    m_port.wakeOn(LinePort::Wake::Output);
    while (!result) {
        m_clock.waitForEvents(msecs, settled);
        // Held by XOFF the device takes nothing and nothing else tells of a loss.
        if (!result && lostMeanwhile())
            result = Wait::Failed;
    }
    m_port.wakeOn(LinePort::Wake::Failure);
    return *result;
}

TransferLoop::Wait TransferLoop::waitForQueueBelow(qint64 limit)
{
    // Window events are handled while the line catches up, so the count
    // follows the line and a cancel ends even a send held by XOFF for ever.
    return waitOnOutput(kRoomWaitMsecs, [this, limit]() -> std::optional<Wait> {
        const qint64 queued = m_port.queuedOutput();
        if (m_port.failed())
            return Wait::Failed;
        if (queued < limit)
            return Wait::Ready;
        return std::nullopt;
    });
}

TransferLoop::Wait TransferLoop::waitForDrain()
{
    // The device may keep its last characters for as long as the drive holds
    // XOFF: the window keeps working meanwhile, and a cancel, whose close
    // discards them, or the loss of the port ends the wait. The drain's end
    // wakes the wait itself.
    return waitOnOutput(kLossLookMsecs, [this]() -> std::optional<Wait> {
        switch (m_port.drain()) {
        case LinePort::DrainStatus::Pending:
            return std::nullopt;
        case LinePort::DrainStatus::Done:
            return Wait::Ready;
        case LinePort::DrainStatus::Failed:
            break;
        }
        return Wait::Failed;
    });
}

void TransferLoop::displayUpdate(qint16 percent)
{
    m_view.setProgress(percent);
    if (m_state.lByteCount > m_shownCount)
        showCount(percent);
}

void TransferLoop::showCount(qint16 percent)
{
    m_view.setLabel(ViewLabel::ByteCount, numberText(m_state.lByteCount));
    m_view.repaintLabel(ViewLabel::ByteCount);
    // The percentage moves a hundred times a run, the count with every character.
    if (m_percentText.isNull() || percent != m_percentShown) {
        m_percentText = numberText(percent) + QLatin1Char('%');
        m_percentShown = percent;
    }
    m_view.setLabel(ViewLabel::Percent, m_percentText);
    m_view.repaintLabel(ViewLabel::Percent);
    m_shownCount = m_state.lByteCount;
}

// Characters that a close threw away never reached the drive: the count, and
// the report that copies that many characters of the file, say what left the PC.
void TransferLoop::uncountDiscarded()
{
    const qint64 discarded = m_port.discarded();
    if (discarded <= 0)
        return;
    m_state.lByteCount = static_cast<qint32>(std::max<qint64>(0, m_state.lByteCount - discarded));
    const qint16 percent = transferPercent(m_state.lByteCount, m_state.lFileSize);
    m_view.setProgress(percent);
    showCount(percent);
}

void TransferLoop::setStatus(const QString &text)
{
    m_view.setLabel(ViewLabel::Status, text);
    m_view.repaintLabel(ViewLabel::Status);
}

// Every end but a send's cancel.
void TransferLoop::endRun(TransferOutcome outcome)
{
    m_result.outcome = outcome;
    m_state.bTransferActive = false;
    m_state.bAbortTransfer = outcome != TransferOutcome::Completed;
    switch (outcome) {
    case TransferOutcome::Completed:
        m_view.setProgress(100);
        m_view.setLabel(ViewLabel::Percent, TransferText::kFullPercent);
        m_view.setLabel(ViewLabel::Status, TransferText::kComplete);
        break;
    case TransferOutcome::Failed:
        m_view.setLabel(ViewLabel::Status, TransferText::kStopped);
        break;
    case TransferOutcome::TimedOut:
        m_view.setLabel(ViewLabel::Status, TransferText::kTimeout);
        break;
    case TransferOutcome::NotRun:
    case TransferOutcome::CancelledWhileSending:
    case TransferOutcome::CancelledWhileReceiving:
        m_view.setLabel(ViewLabel::Status, TransferText::kAborted);
        break;
    }
    m_port.close();
    m_file.close();
    showEndButtons();
}

void TransferLoop::cancelSending()
{
    m_result.outcome = TransferOutcome::CancelledWhileSending;
    m_state.bAbortTransfer = false;
    m_state.bTransferActive = false;
    // The cancel closed both already; closing again costs nothing and leaves
    // no port open whatever set the flag.
    m_port.close();
    m_file.close();
    uncountDiscarded();
    m_view.setLabel(ViewLabel::Status, TransferText::kAborted);
    showEndButtons();
}

void TransferLoop::failRun(TransferFault fault)
{
    m_result.fault = fault;
    // Stop the line and keep what was stored before the user reads why.
    m_port.close();
    m_file.close();
    if (TransferType::isSend(m_state.iTransferType))
        uncountDiscarded();
    m_view.showMessage(transferFaultMessage(fault), true);
    endRun(TransferOutcome::Failed);
}

void TransferLoop::showEndButtons()
{
    m_view.setBackEnabled(true);
    m_view.setFinishCaption(TransferText::kFinishCaption);
    m_view.setReportEnabled(true);
}

TransferOutcome runTransfer(TransferState &state, LinePort &port, TransferFile &file,
                            TransferView &view)
{
    SystemTransferClock clock;
    TransferLoop loop(state, port, file, view, clock);
    return loop.run().outcome;
}
