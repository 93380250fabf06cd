#include "transfer/hexrecord.h"

namespace HexRecord {

namespace {

constexpr char kRecordMark = ':';
// LL, AAAA, TT and CC around the data, in bytes.
constexpr int kFrameBytes = 5;
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Length, hex digits and checksum; bytes gets every byte after the ':'.
std::optional<Damage> frameDamage(QByteArrayView line, QByteArray &bytes)
{
    if (line.size() > kMaxRecordChars)
        return Damage::TooLong;
    int sum = 0;
    for (qsizetype i = 1; i < line.size(); i += 2) {
        const int high = hexValue(line[i]);
        const int low = i + 1 < line.size() ? hexValue(line[i + 1]) : 0;
        if (high < 0 || low < 0)
            return Damage::BadHexDigit;
        bytes.append(char(high * 16 + low));
        sum += high * 16 + low;
    }
    if (line.size() < 1 + 2 * kFrameBytes || line.size() % 2 == 0 ||
        bytes.size() != quint8(bytes[0]) + kFrameBytes)
        return Damage::BadLength;
    if ((sum & 0xFF) != 0)
        return Damage::BadChecksum;
    return std::nullopt;
}

std::optional<Damage> typeDamage(const Record &record, QByteArrayView line)
{
    if (record.type > StartLinear)
        return Damage::UnknownType;
    const int required = requiredLength(record.type);
    if (required != kAnyLength && record.data.size() != required)
        return Damage::WrongDataLength;
    // Only data records place anything at their address field.
    if (record.type != Data && record.type != EndOfFile && record.address != 0)
        return Damage::AddressNotZero;
    if (record.type == EndOfFile && line != kEndRecord)
        return Damage::NotTheEndRecord;
    return std::nullopt;
}

} // namespace

int requiredLength(int type)
{
    switch (type) {
    case EndOfFile:
        return 0;
    case SegmentBase:
    case LinearBase:
        return 2;
    case StartSegment:
    case StartLinear:
        return 4;
    default:
        return kAnyLength;
    }
}

Parsed parse(QByteArrayView line)
{
    Parsed parsed;
    if (!line.startsWith(kRecordMark)) {
        parsed.damage = Damage::NotARecord;
        return parsed;
    }
    QByteArray bytes;
    parsed.damage = frameDamage(line, bytes);
    if (parsed.damage)
        return parsed;
    Record &record = parsed.record;
    record.address = quint16(quint8(bytes[1]) << 8 | quint8(bytes[2]));
    record.type = quint8(bytes[3]);
    record.data = bytes.sliced(4, quint8(bytes[0]));
    parsed.damage = typeDamage(record, line);
    return parsed;
}

void EndRecordSearch::feed(QByteArrayView piece)
{
    if (m_found || piece.isEmpty())
        return;
    QByteArray window = m_carried;
    window.append(piece);
    m_found = window.contains(kEndRecord);
    m_carried = window.right(kEndRecord.size() - 1);
}

Base Base::of(const Record &record)
{
    const quint32 value = quint32(quint8(record.data[0])) << 8 | quint8(record.data[1]);
    const bool segmented = record.type == SegmentBase;
    return {value << (segmented ? 4 : 16), segmented};
}

bool looksLikeAddressRecord(QByteArrayView line)
{
    const QByteArrayView type = line.size() >= 9 ? line.sliced(7, 2) : QByteArrayView();
    return line.startsWith(kRecordMark) && (type == "02" || type == "04");
}

QString hexNumber(quint32 value, int width)
{
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char('0')).toUpper();
}

QString addressText(quint32 address, quint32 highest)
{
    return hexNumber(address, highest > 0xFFFF ? 8 : 4);
}

} // namespace HexRecord
