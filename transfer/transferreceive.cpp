// The receive half of the transfer loop: what the drive sends goes into the
// file block by block, until a block holds the end of data or the line stays
// silent too long.
#include "transfer/transferloop.h"

#include "transfer/lineport.h"
#include "transfer/transferfile.h"
#include "transfer/transferstate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Seconds of silence on the line: past the first the status says the line
// is silent and the loop pauses once; past the second it gives up. The pause
// is not silence the line was given: the time-out comes a second of looking
// after it, 4.5 s into a silence in all.
constexpr double kSilenceBeforeRetry = 1.5;
constexpr double kSilenceBeforeTimeout = 2.5;
constexpr qint16 kPauseSeconds = 2;
// How long the line gathers characters after a read that found some (the
// port shortens it on a fast line). A drive delivers a character or two at a
// time; reading each as it comes would wake the program a thousand times a
// second for nothing the user can see. Each wake costs the machine more than
// the read itself, so the line gathers as long as the end of data may be
// seen late without the transfer taking noticeably longer: at most this
// long, under half a percent of the time a file takes at 9600 baud.
constexpr int kGatherMsecs = 50;
// What arrives goes to the disk in one write at least this often, and at
// once when the end of data, a fault or a silence comes; a Cancel's close
// writes what is still held.
constexpr double kStoreSeconds = 0.25;
constexpr qsizetype kMostHeld = 64 * 1024;
// Past the expected size the percentage is measured against the count plus this.
constexpr qint32 kSizeMargin = 1000;
constexpr qint64 kMaxCount = std::numeric_limits<qint32>::max();

} // namespace

void TransferLoop::receiveLoop()
{
    while (!m_done) {
        if (cancelAsked()) {
            endCancelledReceive();
            return;
        }
        const QByteArray received = m_port.input();
        if (!(received.isEmpty() ? emptyRead() : receivedBlock(received)))
            return;
    }
    endRun(TransferOutcome::Completed);
}

void TransferLoop::endCancelledReceive()
{
    // The Cancel's close could not write what was held: the file is shorter
    // than the count, and the user is told.
    if (m_file.closeLostData()) {
        m_state.lByteCount -= static_cast<qint32>(std::exchange(m_heldCounted, 0));
        failRun(TransferFault::FileWriteFailed);
        return;
    }
    endRun(TransferOutcome::CancelledWhileReceiving);
}

bool TransferLoop::emptyRead()
{
    // Only once everything the port still held has been stored.
    if (m_port.failed()) {
        if (storeHeld())
            failRun(TransferFault::PortFailed);
        return false;
    }
    if (!storeHeld())
        return false;
    const double silent = silence();
    if (silent > kSilenceBeforeTimeout)
        return timeOut();
    if (silent > kSilenceBeforeRetry)
        retry();
    if (!cancelAsked())
        waitForInput(silence());
    return true;
}

bool TransferLoop::timeOut()
{
    m_view.showMessage(TransferText::kTimeout, false);
    // A Cancel while the message was up ends the run as a cancel.
    if (cancelAsked())
        return true;
    if (!m_file.write(QByteArray(1, kEndOfData))) {
        failRun(TransferFault::FileWriteFailed);
        return false;
    }
    endRun(TransferOutcome::TimedOut);
    return false;
}

// The status says the line is silent, and the loop pauses once per silence;
// a Cancel or the loss of the port ends the pause.
void TransferLoop::retry()
{
    setStatus(TransferText::kRetrying);
    if (std::exchange(m_retrying, true))
        return;
    const double started = m_clock.seconds();
    pause(m_clock, kPauseSeconds, [this] { return cancelAsked() || lostMeanwhile(); });
    m_pausedFor += m_clock.seconds() - started;
}

double TransferLoop::silence()
{
    return m_clock.seconds() - m_lastBlock - m_pausedFor;
}

// Until characters come, a window event ends the run, or the silence
// reaches its next step; nothing else wakes the program meanwhile.
void TransferLoop::waitForInput(double silent)
{
    const double step = silent > kSilenceBeforeRetry ? kSilenceBeforeTimeout : kSilenceBeforeRetry;
    // Just past the step, so that the next look finds the silence beyond it.
    const int msecs = int(std::ceil((step - silent) * 1000)) + 1;
    m_port.wakeOn(LinePort::Wake::Input);
    m_clock.waitForEvents(msecs, [this] { return cancelAsked() || m_port.inputWaiting(); });
    m_port.wakeOn(LinePort::Wake::Failure);
}

bool TransferLoop::receivedBlock(const QByteArray &received)
{
    // The block with the end of data is stored whole, as it arrived, and
    // counted up to the end of data, so the count is what the drive sent.
    m_file.hold(received);
    const qsizetype endOfData = received.indexOf(kEndOfData);
    m_done = endOfData >= 0;
    if (!m_done && m_retrying)
        setStatus(TransferText::kInProgress);
    m_lastBlock = m_clock.seconds();
    m_pausedFor = 0;
    m_retrying = false;
    const qsizetype counted = m_done ? endOfData : received.size();
    const qint64 count = qint64(m_state.lByteCount) + counted;
    if (count > kMaxCount) {
        if (storeHeld())
            failRun(TransferFault::CountOverflow);
        return false;
    }
    m_state.lByteCount = static_cast<qint32>(count);
    m_heldCounted += counted;
    const bool storeNow = m_done || m_file.held() >= kMostHeld || m_clock.seconds() >= m_nextStore;
    if (storeNow && !storeHeld())
        return false;
    if (m_state.lByteCount > m_state.lFileSize)
        m_state.lFileSize = static_cast<qint32>(std::min(count + kSizeMargin, kMaxCount));
    const qint16 percent = transferPercent(m_state.lByteCount, m_state.lFileSize);
    displayUpdate(std::min<qint16>(percent, 100));
    if (!m_done)
        gatherInput();
    return true;
}

// False once the run failed; the count then says what the file holds.
bool TransferLoop::storeHeld()
{
    const qint64 counted = std::exchange(m_heldCounted, 0);
    m_nextStore = m_clock.seconds() + kStoreSeconds;
    if (m_file.flush())
        return true;
    m_state.lByteCount -= static_cast<qint32>(counted);
    failRun(TransferFault::FileWriteFailed);
    return false;
}

// Lets the characters that follow gather on the line for the next read,
// with window events handled meanwhile; only a Cancel or the port's loss
// ends it early.
void TransferLoop::gatherInput()
{
    m_port.wakeOn(LinePort::Wake::Failure);
    m_clock.waitForEvents(m_port.gatherMsecs(kGatherMsecs),
                          [this] { return cancelAsked() || m_port.failed(); });
}
