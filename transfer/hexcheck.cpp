#include "transfer/hexcheck.h"

#include "transfer/transferstate.h"

#include <QFile>
#include <QFileInfo>

namespace HexCheck {

namespace {

constexpr char kRecordMark = ':';
// LL, AAAA, TT and CC around the data, in bytes.
constexpr int kFrameBytes = 5;
constexpr int kMaxDataBytes = 255;
constexpr int kMaxRecordChars = 1 + 2 * (kMaxDataBytes + kFrameBytes);
constexpr qint64 kReadChunk = 64 * 1024;
const QByteArray kEndRecord = QByteArrayLiteral(":00000001FF");

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

// Opening a pipe for reading waits for a writer, and a device may never end:
// only plain files are checked.
bool openPlainFile(QFile &file)
{
    return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly);
}

Result unreadable()
{
    Result result;
    result.readable = false;
    return result;
}

QString damageLine(const QString &what, const Result &result)
{
    return QStringLiteral("%1 has %2 damaged record(s); the first is on line %3.")
        .arg(what)
        .arg(result.damaged)
        .arg(result.firstDamagedLine());
}

} // namespace

std::optional<Damage> recordDamage(QByteArrayView record)
{
    if (record.size() > kMaxRecordChars)
        return Damage::TooLong;
    int sum = 0;
    int dataBytes = -1;
    for (qsizetype i = 1; i < record.size(); i += 2) {
        const int high = hexValue(record[i]);
        const int low = i + 1 < record.size() ? hexValue(record[i + 1]) : 0;
        if (high < 0 || low < 0)
            return Damage::BadHexDigit;
        const int value = high * 16 + low;
        if (dataBytes < 0)
            dataBytes = value;
        sum += value;
    }
    if (record.size() < 1 + 2 * kFrameBytes || record.size() % 2 == 0 ||
        (record.size() - 1) / 2 != dataBytes + kFrameBytes)
        return Damage::BadLength;
    if ((sum & 0xFF) != 0)
        return Damage::BadChecksum;
    return std::nullopt;
}

void Checker::feed(QByteArrayView text)
{
    for (const char c : text) {
        if (m_endOfData)
            return;
        switch (c) {
        case kEndOfData:
            m_endOfData = true;
            continue;
        case '\n':
            if (!m_afterCr)
                endLine();
            m_afterCr = false;
            continue;
        case '\r':
            endLine();
            m_afterCr = true;
            continue;
        default:
            break;
        }
        m_afterCr = false;
        ++m_lineLength;
        if (c != ' ' && c != '\t')
            m_contentLength = m_lineLength;
        // Only a record's characters matter; a line past any record's length
        // is damaged whatever follows, so the rest is not kept.
        if (m_line.size() <= kMaxRecordChars)
            m_line.append(c);
    }
}

void Checker::endLine()
{
    if (m_line.startsWith(kRecordMark)) {
        ++m_result.records;
        const std::optional<Damage> damage =
            m_contentLength > kMaxRecordChars
                ? Damage::TooLong
                : recordDamage(QByteArrayView(m_line).first(m_contentLength));
        if (damage) {
            ++m_result.damaged;
            if (m_result.findings.size() < kMaxFindings)
                m_result.findings.append({m_lineNumber, *damage});
        } else if (QByteArrayView(m_line).first(m_contentLength) == kEndRecord) {
            // Exactly the text a file to send is searched for, so that a file
            // this check passes is never refused for want of its end record.
            m_result.hasEndRecord = true;
        }
    }
    m_line.clear();
    m_lineLength = 0;
    m_contentLength = 0;
    ++m_lineNumber;
}

Result Checker::finish()
{
    if (m_lineLength > 0)
        endLine();
    Result result = m_result;
    *this = Checker();
    return result;
}

Result Checker::result() const
{
    Checker copy = *this;
    return copy.finish();
}

Result checkText(QByteArrayView text)
{
    Checker checker;
    checker.feed(text);
    return checker.finish();
}

Result checkFile(const QString &path)
{
    QFile file(path);
    if (!openPlainFile(file))
        return unreadable();
    Checker checker;
    while (!checker.endOfData()) {
        const QByteArray chunk = file.read(kReadChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                return unreadable();
            break;
        }
        checker.feed(chunk);
    }
    return checker.finish();
}

QString sendQuestion(const Result &result)
{
    QStringList lines;
    if (!result.readable)
        lines.append(QStringLiteral("The parameter file could not be read to check its records."));
    else if (result.damaged > 0)
        lines.append(damageLine(QStringLiteral("The parameter file"), result));
    if (result.readable && !result.hasEndRecord)
        lines.append(QStringLiteral("The part of the parameter file that would be sent has no "
                                    "end record (%1) on a line of its own.")
                         .arg(QLatin1String(kEndRecord)));
    lines.append(QStringLiteral("Send it anyway?"));
    return lines.join(QLatin1Char('\r'));
}

QString receivedWarning(const Result &result)
{
    if (!result.readable)
        return QStringLiteral("The received parameter file could not be read to check it.");
    QStringList lines;
    if (result.damaged > 0)
        lines.append(damageLine(QStringLiteral("The received parameter file"), result));
    if (!result.hasEndRecord) {
        lines.append(QStringLiteral("The received data is not a complete parameter file: it has "
                                    "no end record (%1).")
                         .arg(QLatin1String(kEndRecord)));
        lines.append(QStringLiteral("Was the drive's serial link set to \"JXF XFER (Drive TX)\"?"));
    }
    if (lines.isEmpty())
        return {};
    lines.append(QStringLiteral("The file keeps every character that arrived."));
    return lines.join(QLatin1Char('\r'));
}

} // namespace HexCheck
