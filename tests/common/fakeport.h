#pragma once

#include "common/fakeclock.h"
#include "transfer/lineport.h"

#include <algorithm>
#include <QList>
#include <QStringList>
#include <utility>

// A serial line for the loop without a device. Receiving plays a script of
// reads; sending keeps a transmit queue that the line empties a few
// characters per wait unless the drive holds XOFF. Every use of the port
// after it was closed is counted, so tests can show that a cancel is obeyed.
class FakePort : public LinePort
{
public:
    // Receiving: each entry is what one read returns (empty = a silent read).
    QList<QByteArray> script;
    bool failWhenScriptEnds = false;
    int reads = 0;
    int lineWaits = 0;
    int gatherWaits = 0;
    int lastDataRead = 0; // the number of the last read that returned something
    QList<double> readTimes;
    // Receiving from a paced line instead of a script (needs the clock): each
    // piece is on the line from its time on, and a read takes all that arrived.
    QList<std::pair<double, QByteArray>> arrivals;

    // Sending.
    QByteArray sent; // what has left the queue; past a close, what reached the drive
    QByteArray queue;
    qint64 limit = 512;
    qint64 maxQueued = 0;
    bool overflowed = false;
    int linePerWait = 4;
    bool xoff = false;
    int outputWaits = 0;
    int failAfterOutputs = -1;
    int outputs = 0;
    int drains = 0;
    bool drainedWithQueue = false;
    // The last characters that left the queue stay in the device, and the
    // drain waits, until a close discards them (a drive that never sends XON).
    qint64 heldInDevice = 0;
    qint64 discardedByClose = 0;
    static constexpr int kMaxPendingDrains = 10000;

    bool isOpen = true;
    bool hasFailed = false;
    int closes = 0;
    int usedWhileClosed = 0;

    FakeClock *clock = nullptr; // waits for the line let this much time pass
    QStringList *log = nullptr; // shared with the view to see the order of events

    void addSilence(int count)
    {
        for (int i = 0; i < count; ++i)
            script.append(QByteArray());
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
        readTimes.append(clock ? clock->now : 0.0);
        QByteArray data;
        while (!arrivals.isEmpty() && clock && arrivals.first().first <= clock->now)
            data += arrivals.takeFirst().second;
        if (reads <= script.size())
            data = script.at(reads - 1);
        else
            hasFailed = hasFailed || failWhenScriptEnds;
        if (!data.isEmpty())
            lastDataRead = reads;
        return data;
    }
    bool waitForInput(int msecs) override
    {
        if (!usable())
            return false;
        ++lineWaits;
        if (!arrivals.isEmpty() && clock && arrivals.first().first <= clock->now + msecs / 1000.0) {
            clock->now = std::max(clock->now, arrivals.first().first);
            return true;
        }
        pass(msecs);
        return false;
    }
    void gatherInput(int msecs) override
    {
        if (!usable())
            return;
        ++gatherWaits;
        pass(msecs);
    }
    qint64 queuedOutput() override { return usable() ? queue.size() : 0; }
    qint64 outBufferSize() const override { return limit; }
    void waitForOutput(int msecs) override
    {
        if (!usable())
            return;
        ++outputWaits;
        pass(msecs);
        if (xoff)
            return;
        const qsizetype moved = std::min<qsizetype>(linePerWait, queue.size());
        sent += queue.left(moved);
        queue.remove(0, moved);
    }
    DrainStatus drain(int msecs) override
    {
        if (!usable())
            return DrainStatus::Failed;
        ++drains;
        drainedWithQueue = drainedWithQueue || !queue.isEmpty();
        note(QStringLiteral("drain"));
        if (hasFailed)
            return DrainStatus::Failed;
        if (heldInDevice == 0)
            return DrainStatus::Done;
        // A loop that never gives way while it waits fails here instead of hanging.
        if (drains > kMaxPendingDrains)
            return DrainStatus::Failed;
        pass(msecs);
        return DrainStatus::Pending;
    }
    bool failed() const override { return hasFailed; }
    void close() override
    {
        ++closes;
        if (isOpen) {
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
    bool usable()
    {
        if (!isOpen)
            ++usedWhileClosed;
        return isOpen;
    }
    void pass(int msecs)
    {
        if (clock)
            clock->now += msecs / 1000.0;
    }
    void note(const QString &event)
    {
        if (log)
            log->append(event);
    }
};
