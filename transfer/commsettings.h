#pragma once

#include <QSerialPort>
#include <QtGlobal>

// How the line runs: baud rate, parity, data bits and stop bits. The
// program's line is always no parity, 8 data bits and 1 stop bit.
struct CommSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    bool operator==(const CommSettings &) const = default;
};
