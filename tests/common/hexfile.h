#pragma once

// Intel HEX records for the tests, written here and not by the code under
// test. Header-only.

#include <QByteArray>
#include <QList>

// One record with its checksum, without a line end.
inline QByteArray hexRecord(quint32 address, quint8 type, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size())).append(char(address >> 8)).append(char(address & 0xff));
    bytes.append(char(type)).append(data);
    quint8 sum = 0;
    for (const char byte : bytes)
        sum += quint8(byte);
    return ':' + bytes.append(char(quint8(-sum))).toHex().toUpper();
}

// The records and then the end record, each followed by eol.
inline QByteArray hexFile(const QList<QByteArray> &records, const QByteArray &eol = "\r\n")
{
    return (records + QList<QByteArray>{":00000001FF"}).join(eol) + eol;
}
