#pragma once

// Intel HEX records for the tests, written here and not by the code under
// test. Header-only.

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

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

// A sound parameter file of exactly size characters (13 or more): data
// records of 16 bytes (from random, or counting up), with an address record
// at each 64 KiB, the end record, and blanks after it to make up the size.
inline QByteArray parameterFile(qsizetype size, QRandomGenerator *random = nullptr)
{
    const QByteArray end = ":00000001FF";
    constexpr qsizetype kRecordChars = 45; // ":10AAAA00", 32 digits, checksum, CR LF
    constexpr qsizetype kBaseChars = 17;   // ":02000004BBBBCC" and CR LF
    QByteArray file;
    for (quint32 address = 0;; address += 16) {
        const bool newBase = address > 0 && address % 0x10000 == 0;
        if (file.size() + (newBase ? kBaseChars : 0) + kRecordChars + end.size() + 2 > size)
            break;
        if (newBase) {
            file +=
                hexRecord(0, 4,
                          QByteArray().append(char(address >> 24)).append(char(address >> 16))) +
                "\r\n";
        }
        QByteArray data(16, Qt::Uninitialized);
        for (int i = 0; i < 16; ++i)
            data[i] = char(random ? random->bounded(256) : int(address) + i);
        file += hexRecord(address & 0xFFFF, 0, data) + "\r\n";
    }
    return file + end + QByteArray(size - file.size() - end.size() - 2, ' ') + "\r\n";
}
