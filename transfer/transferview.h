#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// What the transfer loop needs of the progress page, so that the loop runs
// with no widgets at all in tests.
enum class ViewLabel { Status, ByteCount, Percent };

class TransferView
{
public:
    virtual ~TransferView() = default;

    virtual void setLabel(ViewLabel label, const QString &text) = 0;
    virtual void repaintLabel(ViewLabel label) = 0;
    virtual void repaintPage() = 0;
    virtual void setProgress(int percent) = 0;
    virtual void setBackEnabled(bool enabled) = 0;
    virtual void setReportEnabled(bool enabled) = 0;
    virtual void setFinishCaption(const QString &caption) = 0;

    // A modal message in the program's own words; critical = the stop icon,
    // otherwise no icon. Returns once the user has dismissed it.
    virtual void showMessage(const QString &text, bool critical) = 0;
};

// Time and the event loop, the loop's only link to the rest of the program
// while it runs.
class TransferClock
{
public:
    virtual ~TransferClock() = default;

    // Seconds on a monotonic clock: a pause that spans midnight still ends.
    virtual double seconds() = 0;
    // The date and time of day, for the record of when a run started.
    virtual QDateTime wallClock() { return QDateTime::currentDateTime(); }
    // Handles every window event that is waiting, then returns. Only for a
    // loop that is busy without waiting: every wait below handles events too.
    virtual void pumpEvents() = 0;
    // Handles events as they come, and sleeps while none do, until ready()
    // holds or msecs have passed (never, when msecs is negative). ready() is
    // asked first, and again after each event, so that whatever an event
    // changes (a Cancel, characters on the line) ends the wait at once.
    virtual void waitForEvents(int msecs, const std::function<bool()> &ready) = 0;
};
