#pragma once

#include "driveline.h"

#include <optional>
#include <QByteArray>

// When a character is on the line, read from what the simulated drive
// reports. The drive takes characters in at exactly the line's pace while it
// has any, so a count n at time t says the first character was on the line
// no later than t - n / rate and the last one cannot be there before
// t + (total - n) / rate; gaps only move the truth further out.
struct LineSpan
{
    double first = 0;
    double last = 0;
    double seconds() const { return last - first; }
};

double charsPerSecond(int baud);
double idealSeconds(qint64 chars, int baud);

// A send: from the drive's paced RX counts. The count the drive prints when
// the port closes is left out, because on a pseudo-terminal the close hands
// it everything still queued at once, which no wire would do.
std::optional<LineSpan> sendSpan(const std::vector<DriveEvent> &events, qint64 total, int baud);

// A receive: the drive's first character goes out startDelay after it saw
// the port open and the last as TX-DONE is printed; the earlier of the two
// estimates of the start is kept. The end is when the file was complete.
std::optional<LineSpan> receiveSpan(const std::vector<DriveEvent> &events, double startDelay,
                                    int baud, double fileComplete);

// Intel HEX text of exactly size characters (an even size of at least 26):
// data records of 16 bytes, one shorter record, then the end record.
QByteArray hexFileOfSize(qint64 size);
// Printable lines with CR LF of exactly size characters: a drive's dump.
QByteArray dumpOfSize(qint64 size);
