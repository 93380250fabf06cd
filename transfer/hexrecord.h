#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

// One Intel HEX record of a parameter file, ":LLAAAATT<data>CC" on a line of
// its own: LL data bytes at address AAAA, of type TT, and the two's
// complement checksum CC that makes the sum of every byte zero. The one
// grammar that the check before a send, the check after a receive and the
// compare of two files all read.
namespace HexRecord {

// The end of a parameter file's data, written exactly so: a file to send is
// searched for this text, so every check knows the end record by it too.
inline constexpr QByteArrayView kEndRecord(":00000001FF");

// Looks for kEndRecord anywhere in text that comes in pieces, as a send always
// has; a record split between two pieces is still found.
class EndRecordSearch
{
public:
    void feed(QByteArrayView piece);
    bool found() const { return m_found; }

private:
    bool m_found = false;
    QByteArray m_carried; // the last piece's end, in case the record spans two
};

enum Type : quint8 {
    Data = 0,
    EndOfFile = 1,
    SegmentBase = 2,
    StartSegment = 3,
    LinearBase = 4,
    StartLinear = 5,
};

// The longest line that can be a record: 255 data bytes.
constexpr qsizetype kMaxRecordChars = 1 + 2 * (255 + 5);

// What makes a line no sound record, in the order the checks look.
enum class Damage {
    NotARecord,      // a line that does not start with ':'
    TooLong,         // longer than any record can be
    BadHexDigit,     // a character after the ':' that is not a hex digit
    BadLength,       // the characters do not match the record's own length byte
    BadChecksum,     // the bytes do not sum to zero
    UnknownType,     // a type other than 00 to 05
    WrongDataLength, // 01 with data, 02 or 04 without 2 data bytes, 03 or 05 without 4
    AddressNotZero,  // an 02 to 05 record whose address field is not 0000
    NotTheEndRecord, // an 01 record written otherwise than kEndRecord
    // Damage of the file rather than of the line alone:
    Conflict,    // gives an address another value than an earlier record
    TooMuchData, // holds data at more addresses than any parameter file has
};

// The data bytes a record of the type must carry; data records (and types
// that are none) choose their own.
constexpr int kAnyLength = -1;
int requiredLength(int type);

struct Record
{
    quint8 type = Data;
    quint16 address = 0; // the address field
    QByteArray data;
};

struct Parsed
{
    std::optional<Damage> damage;
    // As far as the line could be read: complete when there is no damage,
    // and from UnknownType on the type and data are there to be named.
    Record record;
};

// line: one line without its line end, blanks or tabs after it, not empty.
Parsed parse(QByteArrayView line);

// Where the data records land: at their address field plus the base the last
// 02 (segment, times 16) or 04 (linear, times 65536) record gave. Until the
// first of them, and after an 04, a record runs on past 64 KiB as in a linear
// file; after an 02 it wraps within its segment. An 03 or 05 record, a start
// address, changes nothing here, as the Intel HEX format says.
struct Base
{
    quint32 base = 0;
    bool segmented = false;

    // The base an 02 or 04 record gives.
    static Base of(const Record &record);
    quint32 address(quint16 field, quint32 offset) const
    {
        return segmented ? base + quint16(field + offset) : base + field + offset;
    }
};

// True when the line reads as an 02 or 04 record, sound or not: the data
// after a damaged one would land at a guessed address.
bool looksLikeAddressRecord(QByteArrayView line);

// Hex digits, upper case, at least width of them.
QString hexNumber(quint32 value, int width);
// An address as every text and JSON object shows it: four digits, eight
// where the addresses shown together go past 64 KiB (highest).
QString addressText(quint32 address, quint32 highest);
inline QString addressText(quint32 address)
{
    return addressText(address, address);
}

} // namespace HexRecord
