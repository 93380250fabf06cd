#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// Checks the Intel HEX records of a parameter file (the lines that start with
// ':'), so that a damaged parameter set is caught before it reaches a running
// machine and after it has come from one. Nothing here changes a file.
//
// A parameter file's data ends at its first code 26: a send stops there, and
// the drive ends its transmission with it. Lines end in CR LF, LF or CR, and
// blanks or tabs after a record are no part of it.
namespace HexCheck {

// What is wrong with one record, in the order the checks look.
enum class Damage {
    TooLong,     // longer than any record can be
    BadHexDigit, // a character after the ':' that is not a hex digit
    BadLength,   // the characters do not match the record's own length byte
    BadChecksum, // the bytes do not sum to zero
};

struct Finding
{
    qint64 line = 0; // 1-based
    Damage damage = Damage::BadChecksum;
    bool operator==(const Finding &) const = default;
};

// A file with thousands of broken lines is no parameter file; the first of
// them say enough.
constexpr qsizetype kMaxFindings = 100;

struct Result
{
    bool readable = true;
    qint64 records = 0;
    qint64 damaged = 0;      // every damaged record
    QList<Finding> findings; // the first kMaxFindings of them, in file order
    bool hasEndRecord = false;

    qint64 firstDamagedLine() const { return findings.isEmpty() ? 0 : findings.front().line; }
    bool recordsIntact() const { return readable && damaged == 0; }
    bool isClean() const { return recordsIntact() && hasEndRecord; }
};

// ":LLAAAATT<data>CC": LL data bytes, and the two's complement checksum CC
// makes the sum of every byte of the record zero. The record is a line that
// starts with ':' (not looked at), without its line end and trailing blanks.
// Empty when the record is sound.
std::optional<Damage> recordDamage(QByteArrayView record);

// Feeds text in pieces of any size; everything from the first code 26 on is
// ignored.
class Checker
{
public:
    void feed(QByteArrayView text);
    // True once the first code 26 has been fed: nothing after it counts.
    bool endOfData() const { return m_endOfData; }
    Result finish();
    // The result as if the text ended here; the checker goes on.
    Result result() const;

private:
    void endLine();

    Result m_result;
    QByteArray m_line;             // the line's first characters, enough to judge a record
    qsizetype m_lineLength = 0;    // characters in the line so far
    qsizetype m_contentLength = 0; // up to its last character that is no blank or tab
    qint64 m_lineNumber = 1;
    bool m_afterCr = false;
    bool m_endOfData = false;
};

Result checkText(QByteArrayView text);

// A parameter file on disk, read up to its first code 26; a file that is not a
// plain file (a pipe, a device) is not read and is unreadable.
Result checkFile(const QString &path);

// The question asked before a file with damage is sent.
QString sendQuestion(const Result &result);
// What is said after a parameter-file receive whose file is not clean (empty when it is).
QString receivedWarning(const Result &result);

} // namespace HexCheck
