#pragma once

#include "common/fakeclock.h"
#include "transfer/lineport.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <utility>

// A serial line for the loop without a device, on the fake clock's time.
// Receiving: pieces arrive at their times, and a read takes all that has
// arrived. Sending: the line takes the queue's characters at its rate unless
// the drive holds XOFF. Every use of the port after it was closed is
// counted, so tests can show that a cancel is obeyed.
class FakePort : public LinePort
{
public:
    // Receiving: each piece is on the line from its time on.
    QList<std::pair<double, QByteArray>> arrivals;
    bool failWhenArrivalsEnd = false;
    int reads = 0;
    int lastDataRead = 0; // the number of the last read that returned something

    // Sending.
    QByteArray sent; // what has left the queue; past a close, what reached the drive
    QByteArray queue;
    qint64 limit = 512;
    qint64 maxQueued = 0;
    bool overflowed = false;
    double charsPerSecond = 960; // 9600 baud
    bool xoff = false;
    int failAfterOutputs = -1;
    int outputs = 0;
    int drains = 0;
    bool drainedWithQueue = false;
    // The last characters that left the queue stay in the device, and the
    // drain waits, until a close discards them (a drive that never sends XON).
    qint64 heldInDevice = 0;
    qint64 discardedByClose = 0;

    // The device goes away at this time: only a look at it tells.
    double lostAt = -1;
    int looks = 0;
    qint64 damaged = 0; // characters the line damaged, as the system counts them

    Wake wake = Wake::Failure;
    bool isOpen = true;
    bool hasFailed = false;
    int closes = 0;
    int usedWhileClosed = 0;

    FakeClock *clock = nullptr;
    QStringList *log = nullptr; // shared with the view to see the order of events

    // Blocks one after the other, spacing seconds apart, from the start.
    void addBlocks(const QList<QByteArray> &blocks, double spacing = 0.1)
    {
        double at = arrivals.isEmpty() ? 0.0 : arrivals.last().first + spacing;
        for (const QByteArray &block : blocks) {
            arrivals.append({at, block});
            at += spacing;
        }
    }

    bool output(const QByteArray &data) override
    {
        if (!usable() || hasFailed)
            return false;
        if (outputs == failAfterOutputs) {
            hasFailed = true;
            return false;
        }
        ++outputs;
        moveLine();
        queue += data;
        maxQueued = std::max<qint64>(maxQueued, queue.size());
        overflowed = overflowed || queue.size() > limit;
        return true;
    }
    QByteArray input() override
    {
        if (!usable())
            return QByteArray();
        ++reads;
        QByteArray data;
        while (due())
            data += arrivals.takeFirst().second;
        if (arrivals.isEmpty() && failWhenArrivalsEnd)
            hasFailed = true;
        if (!data.isEmpty())
            lastDataRead = reads;
        return data;
    }
    bool inputWaiting() override { return usable() && (hasFailed || due()); }
    qint64 queuedOutput() override
    {
        if (!usable())
            return 0;
        moveLine();
        return queue.size();
    }
    qint64 outBufferSize() const override { return limit; }
    DrainStatus drain() override
    {
        if (!usable())
            return DrainStatus::Failed;
        ++drains;
        drainedWithQueue = drainedWithQueue || !queue.isEmpty();
        note(QStringLiteral("drain"));
        if (hasFailed)
            return DrainStatus::Failed;
        return heldInDevice == 0 ? DrainStatus::Done : DrainStatus::Pending;
    }
    void wakeOn(Wake what) override { wake = what; }
    bool failed() const override { return hasFailed; }
    bool lost() override
    {
        ++looks;
        hasFailed = hasFailed || (lostAt >= 0 && clock && clock->now >= lostAt);
        return hasFailed;
    }
    qint64 lineErrors() override { return damaged; }
    void close() override
    {
        ++closes;
        if (isOpen) {
            moveLine();
            note(QStringLiteral("port closed"));
            const qint64 fromDevice = std::min<qint64>(heldInDevice, sent.size());
            discardedByClose = queue.size() + fromDevice;
            sent.chop(fromDevice);
        }
        isOpen = false;
        queue.clear();
    }
    qint64 discarded() const override { return discardedByClose; }

private:
    double m_lineMoved = 0; // when the line last took characters

    bool usable()
    {
        if (!isOpen)
            ++usedWhileClosed;
        return isOpen;
    }
    bool due() const
    {
        return !arrivals.isEmpty() && clock && arrivals.first().first <= clock->now;
    }
    // What the line took since it was last looked at.
    void moveLine()
    {
        const double now = clock ? clock->now : 0.0;
        if (queue.isEmpty() || xoff) {
            m_lineMoved = now;
            return;
        }
        const auto moved = qsizetype(std::floor((now - m_lineMoved) * charsPerSecond));
        if (moved <= 0)
            return;
        const qsizetype taken = std::min<qsizetype>(moved, queue.size());
        m_lineMoved = taken < moved ? now : m_lineMoved + double(taken) / charsPerSecond;
        sent += queue.left(taken);
        queue.remove(0, taken);
    }
    void note(const QString &event)
    {
        if (log)
            log->append(event);
    }
};
