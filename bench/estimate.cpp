#include "estimate.h"

#include "transfer/hexrecord.h"

#include <algorithm>
#include <limits>

namespace {
constexpr double kBitsPerChar = 10.0;   // 8N1: start, eight data bits, stop
constexpr qint64 kFullRecordChars = 45; // ":10AAAA00" + 32 hex digits + checksum + CR LF
constexpr qint64 kRecordOverhead = 13;  // a record with no data, CR LF included
constexpr int kFullRecordBytes = 16;
constexpr qint64 kDumpLine = 64;
const QByteArray kEndRecord = HexRecord::kEndRecord.toByteArray() + "\r\n";

QByteArray hexRecord(int address, const QByteArray &data)
{
    QByteArray body;
    body.append(char(data.size()));
    body.append(char(address >> 8));
    body.append(char(address & 0xff));
    body.append(char(0));
    body.append(data);
    int sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    body.append(char((-sum) & 0xff));
    return ':' + body.toHex().toUpper() + "\r\n";
}
} // namespace

double charsPerSecond(int baud)
{
    return baud / kBitsPerChar;
}

double idealSeconds(qint64 chars, int baud)
{
    return static_cast<double>(chars) / charsPerSecond(baud);
}

std::optional<LineSpan> sendSpan(const std::vector<DriveEvent> &events, qint64 total, int baud)
{
    // The RX printed just before CLOSED is the count after the close.
    auto end = events.end();
    for (auto it = events.begin(); it != events.end(); ++it) {
        if (it->name == QLatin1String("CLOSED")) {
            end = it;
            break;
        }
    }
    for (auto it = end; it != events.begin();) {
        --it;
        if (it->name == QLatin1String("RX")) {
            end = it;
            break;
        }
    }
    const double rate = charsPerSecond(baud);
    LineSpan span{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()};
    bool any = false;
    for (auto it = events.begin(); it != end; ++it) {
        if (it->name != QLatin1String("RX") || it->count <= 0 || it->count >= total)
            continue;
        any = true;
        span.first = std::min(span.first, it->at - it->count / rate);
        span.last = std::max(span.last, it->at + (total - it->count) / rate);
    }
    return any ? std::optional(span) : std::nullopt;
}

std::optional<LineSpan> receiveSpan(const std::vector<DriveEvent> &events, double startDelay,
                                    int baud, double fileComplete)
{
    std::optional<double> opened;
    std::optional<double> fromDone;
    for (const DriveEvent &event : events) {
        if (event.name == QLatin1String("OPENED") && !opened)
            opened = event.at + startDelay;
        if (event.name == QLatin1String("TX-DONE") && event.count > 0)
            fromDone = event.at - event.count / charsPerSecond(baud);
    }
    if (!opened || !fromDone)
        return std::nullopt;
    return LineSpan{std::min(*opened, *fromDone), fileComplete};
}

QByteArray hexFileOfSize(qint64 size)
{
    // Every record has an odd length, so an even size needs an even number of
    // full records ahead of the short one.
    qint64 full = (size - 2 * kRecordOverhead) / kFullRecordChars;
    if (full % 2 != 0)
        --full;
    QByteArray text;
    int address = 0;
    for (qint64 i = 0; i < full; ++i, address += kFullRecordBytes)
        text += hexRecord(address & 0xffff, QByteArray(kFullRecordBytes, char(i & 0x7f)));
    const qint64 shortBytes = (size - text.size() - kEndRecord.size() - kRecordOverhead) / 2;
    text += hexRecord(address & 0xffff, QByteArray(shortBytes, 'Q'));
    return text + kEndRecord;
}

QByteArray dumpOfSize(qint64 size)
{
    QByteArray text;
    for (int line = 0; text.size() < size; ++line) {
        QByteArray row = QByteArray::number(line).rightJustified(6, '0') + " P" +
                         QByteArray::number(line % 997) + " = " +
                         QByteArray::number(line * 37 % 10007);
        row = row.leftJustified(kDumpLine - 2, '.') + "\r\n";
        text += row;
    }
    return text.left(size);
}
