#pragma once

#include <QtGlobal>

// How the line runs: baud rate, parity, data bits and stop bits. The
// program's line is always no parity, 8 data bits and 1 stop bit.
struct CommSettings
{
    enum class Parity { None, Even, Odd };
    enum class StopBits { One, Two };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    qint8 dataBits = 8;
    StopBits stopBits = StopBits::One;

    bool operator==(const CommSettings &) const = default;
};
