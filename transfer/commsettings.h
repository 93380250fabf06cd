#pragma once

#include <optional>
#include <QSerialPort>
#include <QString>

// A settings text such as "9600,N,8,1": baud rate, parity letter, data bits
// and stop bits.
struct CommSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Nothing when the text is not a settings text the port can take.
std::optional<CommSettings> parseCommSettings(const QString &text);
