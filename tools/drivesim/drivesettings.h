#pragma once

#include <QString>
#include <QtGlobal>

namespace drivesim {

inline constexpr char kEof = 26;
inline constexpr char kXon = 17;
inline constexpr char kXoff = 19;

// A character on the line is a start bit, eight data bits and a stop bit.
inline constexpr int kBitsPerChar = 10;

inline qint64 charsPerSecond(int baud)
{
    return baud / kBitsPerChar;
}

// The drive's receive buffer and the levels at which it asks the PC to stop and go on.
struct ReceiveBuffer
{
    qint64 capacity = 1024;
    qint64 xoffHigh = 768;
    qint64 xonLow = 256;

    bool isValid() const
    {
        return capacity > 0 && xonLow >= 0 && xonLow < xoffHigh && xoffHigh <= capacity;
    }
};

// Faults the drive can be told to show. A count below zero turns a fault off. They stay
// in force for every session until turned off.
struct Faults
{
    // Stop transmitting after silenceAfter characters for silenceMs (-1: for good).
    qint64 silenceAfter = -1;
    int silenceMs = 0;
    // Hang up after this many characters sent or received in a session.
    qint64 hangupAfter = -1;
    // While receiving, after holdAfter characters send XOFF and keep it for holdMs.
    qint64 holdAfter = -1;
    int holdMs = 0;
};

struct DriveSettings
{
    // 0: as fast as the pty takes.
    int baud = 0;
    // When the program's port runs at another rate than baud, characters cross the line as
    // a UART at the other rate reads them (see RateMismatch), both ways.
    bool garbleMismatch = false;
    int startDelayMs = 300;
    bool sendEof = true;
    ReceiveBuffer buffer;
    QString receiveFile = QStringLiteral("received.jxf");
    QString dumpFile;
    Faults faults;
};

} // namespace drivesim
