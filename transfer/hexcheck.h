#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// Checks the Intel HEX records of a parameter file (the lines that start with
// ':'), so that a damaged parameter set is caught before it reaches a running
// machine and after it has come from one. Nothing here changes a file.
namespace HexCheck {

struct Result
{
    bool readable = true;
    qint64 records = 0;
    qint64 damaged = 0;
    qint64 firstDamagedLine = 0; // 1-based; 0 when no record is damaged
    bool hasEndRecord = false;

    bool recordsIntact() const { return readable && damaged == 0; }
    bool isClean() const { return recordsIntact() && hasEndRecord; }
};

// ":LLAAAATT<data>CC": LL data bytes, and the two's complement checksum CC
// makes the sum of every byte of the record zero.
bool isValidRecord(QByteArrayView record);

// Feeds text in pieces of any size; lines end in LF, a CR before it is ignored.
class Checker
{
public:
    void feed(QByteArrayView text);
    Result finish();

private:
    void endLine();

    Result m_result;
    QByteArray m_line;
    qint64 m_lineNumber = 1;
    bool m_lineTooLong = false;
};

Result checkText(QByteArrayView text);

// A file about to be sent, whole.
Result checkFile(const QString &path);
// A file received from the drive: the drive ends its data with code 26, so the
// last 26 and whatever follows it are not part of the parameter file.
Result checkReceivedFile(const QString &path);

// The question asked before a file with damaged records is sent.
QString sendQuestion(const Result &result);
// What is said after a receive whose file is not clean (empty when it is).
QString receivedWarning(const Result &result);

} // namespace HexCheck
