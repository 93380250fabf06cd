#pragma once

#include "settings/lineends.h"
#include "transfer/hexmemory.h"
#include "transfer/hexrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

// Reads a parameter file's text as Intel HEX records (transfer/hexrecord.h),
// so that a damaged parameter set is caught before it reaches a running
// machine and after it has come from one, and so that two files can be
// compared by their data. The file itself is read by transfer/paramfile.h,
// and what is found is put in words by transfer/hexchecktext.h.
//
// The file is read up to its first code 26: a send stops there, and the drive
// ends its transmission with it. Every line up to there that is not blank
// must be a sound record; lines end in CR LF, LF or CR, and blanks or tabs
// after a record are no part of it. The data ends at the first end record:
// sound records after it are not used, which is noted, not damage.
namespace HexCheck {

using Damage = HexRecord::Damage;

struct Finding
{
    qint64 line = 0; // 1-based
    Damage damage = Damage::BadChecksum;
    quint8 type = 0;         // UnknownType, WrongDataLength, AddressNotZero
    qsizetype dataBytes = 0; // WrongDataLength
    quint32 address = 0;     // Conflict, and the address field for AddressNotZero
    bool operator==(const Finding &) const = default;
};

// Data records after a damaged address record: their addresses are unknown,
// so they are not placed.
struct Unplaced
{
    qint64 firstLine = 0;
    qint64 records = 0;
    qint64 baseLine = 0; // the damaged address record
    bool operator==(const Unplaced &) const = default;
};

// A file with thousands of broken lines is no parameter file; the first of
// them say enough.
constexpr qsizetype kMaxFindings = 100;

struct Result
{
    bool readable = true;
    qint64 records = 0;      // lines that are not blank, each meant to be a record
    qint64 damaged = 0;      // every damaged one
    QList<Finding> findings; // the first kMaxFindings of them, in file order
    bool hasEndRecord = false;
    qint64 afterEnd = 0; // sound records after the end record
    qint64 firstAfterEnd = 0;
    QList<Unplaced> unplaced;
    // As the last start address record gives it ("CS:IP" or the linear
    // address), empty when there is none. It is not parameter data.
    QString startAddress;
    // The data up to the end record, as the sound data records place it.
    HexMemory memory;

    qint64 firstDamagedLine() const { return findings.isEmpty() ? 0 : findings.front().line; }
    bool recordsIntact() const { return readable && damaged == 0; }
    bool isClean() const { return recordsIntact() && hasEndRecord; }
    bool operator==(const Result &) const = default;
};

// Feeds text in pieces of any size; everything from the first code 26 on is
// ignored.
class Checker
{
public:
    void feed(QByteArrayView text);
    // True once the first code 26 has been fed: nothing after it counts.
    bool endOfData() const { return m_endOfData; }
    // Ends the text; nothing is to be fed after it, and it is asked once.
    Result finish();
    // The result as if the text ended here; the checker goes on.
    Result result() const;

private:
    void addToLine(QByteArrayView part);
    void endLine();
    void takeLine(QByteArrayView line);
    void apply(const HexRecord::Record &record);
    void setBase(const HexRecord::Record &record);
    void place(const HexRecord::Record &record);
    void addDamage(Finding finding);
    void closeUnplaced();

    Result m_result;
    LineEnds::LineSplitter m_lines;
    QByteArray m_line;             // the line's first characters, enough to judge a record
    qsizetype m_lineLength = 0;    // characters in the line so far
    qsizetype m_contentLength = 0; // up to its last character that is no blank or tab
    qint64 m_lineNumber = 1;
    bool m_endOfData = false;
    bool m_afterEnd = false;
    HexRecord::Base m_base;
    Unplaced m_unplacing; // while baseLine is set, the base is unknown
};

Result checkText(QByteArrayView text);

} // namespace HexCheck
