// The receive half of the transfer loop: what the drive sends goes into the
// file block by block, until a block holds the end of data or the line stays
// silent too long.
#include "transfer/transferloop.h"

#include "transfer/lineport.h"
#include "transfer/transferfile.h"
#include "transfer/transferstate.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

// Counts of consecutive empty reads: past the first the status says the line
// is silent and the loop pauses once; past the second it gives up.
constexpr qint16 kEmptyReadsBeforeRetry = 1500;
constexpr qint16 kEmptyReadsBeforeTimeout = 2500;
constexpr qint16 kPauseSeconds = 2;
// How long an empty read waits for the line before the next read: the read
// counts then measure silence, not the speed of the machine.
constexpr int kLineWaitMsecs = 1;
// How long the line gathers characters after a read that found some (the
// port shortens it on a fast line). A drive delivers a character or two at a
// time; reading each as it comes would wake the program a thousand times a
// second for nothing the user can see. A few milliseconds later the next read
// finds them all, and the end of data is seen at most this much later.
constexpr int kGatherMsecs = 20;
// What arrives goes into the file at least this often, in one write, and
// before any window event is handled (a Cancel closes the file), so the
// blocks of a fast line do not each cost a write and an event pump.
constexpr double kStoreSeconds = 0.1;
constexpr qsizetype kMostUnstored = 64 * 1024;
// Past the expected size the percentage is measured against the count plus this.
constexpr qint32 kSizeMargin = 1000;
constexpr qint64 kMaxCount = std::numeric_limits<qint32>::max();

} // namespace

void TransferLoop::receiveLoop()
{
    while (!m_done && !m_state.bAbortTransfer) {
        const QByteArray received = m_port.input();
        if (received.isEmpty()) {
            // Only once everything the port still held has been stored.
            if (m_port.failed()) {
                if (storeReceived())
                    failRun(TransferFault::PortFailed);
                return;
            }
            if (!emptyRead())
                return;
            continue;
        }
        if (!receivedBlock(received))
            return;
    }
    endRun();
}

bool TransferLoop::emptyRead()
{
    if (!storeReceived())
        return false;
    if (m_emptyReads > kEmptyReadsBeforeTimeout) {
        m_view.showMessage(TransferText::kTimeout, false);
        if (!m_state.bAbortTransfer) {
            if (!m_file.write(QByteArray(1, kEndOfData))) {
                failRun(TransferFault::FileWriteFailed);
                return false;
            }
            m_state.bAbortTransfer = true;
            m_timedOut = true;
        }
    } else if (m_emptyReads > kEmptyReadsBeforeRetry) {
        setStatus(TransferText::kRetrying);
        if (m_emptyReads == kEmptyReadsBeforeRetry + 1)
            pause(m_clock, kPauseSeconds);
    }
    ++m_emptyReads;
    if (!m_state.bAbortTransfer) {
        m_port.waitForInput(kLineWaitMsecs);
        // Through a silent spell the page still paints what the last block
        // brought, and a Cancel is not left waiting for the pause.
        m_clock.pumpEvents();
    }
    return true;
}

bool TransferLoop::receivedBlock(const QByteArray &received)
{
    // The block with the end of data is stored whole, as it arrived, and
    // counted up to the end of data, so the count is what the drive sent.
    const qsizetype endOfData = received.indexOf(kEndOfData);
    m_done = endOfData >= 0;
    if (!m_done && m_emptyReads > kEmptyReadsBeforeRetry)
        setStatus(TransferText::kInProgress);
    m_unstored += received;
    const bool storeNow =
        m_done || m_unstored.size() >= kMostUnstored || m_clock.seconds() >= m_nextStore;
    if (storeNow && !storeReceived(received.size()))
        return false;
    m_emptyReads = 0;
    const qint64 count = qint64(m_state.lByteCount) + (m_done ? endOfData : received.size());
    if (count > kMaxCount) {
        if (storeReceived(received.size()))
            failRun(TransferFault::CountOverflow);
        return false;
    }
    m_state.lByteCount = static_cast<qint32>(count);
    if (m_state.lByteCount > m_state.lFileSize)
        m_state.lFileSize = static_cast<qint32>(std::min(count + kSizeMargin, kMaxCount));
    const qint16 percent = transferPercent(m_state.lByteCount, m_state.lFileSize);
    displayUpdate(std::min<qint16>(percent, 100));
    if (!m_done) {
        m_port.gatherInput(kGatherMsecs);
        if (m_unstored.isEmpty())
            m_clock.pumpEvents();
    }
    return true;
}

bool TransferLoop::storeReceived(qsizetype uncounted)
{
    if (m_unstored.isEmpty())
        return true;
    const QByteArray unstored = std::exchange(m_unstored, QByteArray());
    if (!m_file.write(unstored)) {
        // The count says what the file held before this write.
        m_state.lByteCount -= static_cast<qint32>(unstored.size() - uncounted);
        failRun(TransferFault::FileWriteFailed);
        return false;
    }
    m_nextStore = m_clock.seconds() + kStoreSeconds;
    return true;
}
