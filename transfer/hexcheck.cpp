#include "transfer/hexcheck.h"

#include <QFile>
#include <QFileInfo>

namespace HexCheck {

namespace {

constexpr char kRecordMark = ':';
constexpr char kEndOfData = 26;
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

// Reads the file up to limit characters (all when negative) into checker.
bool feedFile(QFile &file, qint64 limit, Checker &checker)
{
    qint64 left = limit < 0 ? file.size() : limit;
    while (left > 0) {
        const QByteArray chunk = file.read(qMin(left, kReadChunk));
        if (chunk.isEmpty())
            return file.error() == QFileDevice::NoError && file.atEnd();
        checker.feed(chunk);
        left -= chunk.size();
    }
    return true;
}

// Where the last code 26 is, or -1; the file is read chunk by chunk.
qint64 lastEndOfData(QFile &file, bool *ok)
{
    qint64 last = -1;
    qint64 offset = 0;
    for (;;) {
        const QByteArray chunk = file.read(kReadChunk);
        if (chunk.isEmpty()) {
            *ok = file.error() == QFileDevice::NoError;
            return last;
        }
        if (const qsizetype at = chunk.lastIndexOf(kEndOfData); at >= 0)
            last = offset + at;
        offset += chunk.size();
    }
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

} // namespace

bool isValidRecord(QByteArrayView record)
{
    if (record.size() < 1 + 2 * kFrameBytes || record.size() % 2 == 0 ||
        record.front() != kRecordMark)
        return false;
    int sum = 0;
    QByteArray bytes;
    for (qsizetype i = 1; i < record.size(); i += 2) {
        const int high = hexValue(record[i]);
        const int low = hexValue(record[i + 1]);
        if (high < 0 || low < 0)
            return false;
        const int value = high * 16 + low;
        bytes.append(char(value));
        sum += value;
    }
    const int dataBytes = static_cast<unsigned char>(bytes.front());
    return bytes.size() == dataBytes + kFrameBytes && (sum & 0xFF) == 0;
}

void Checker::feed(QByteArrayView text)
{
    for (const char c : text) {
        if (c == '\n') {
            endLine();
            continue;
        }
        // Only a record's characters matter; a line past any record's length
        // is damaged whatever follows, so it is not kept.
        if (m_line.size() <= kMaxRecordChars)
            m_line.append(c);
        else
            m_lineTooLong = true;
    }
}

void Checker::endLine()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    if (m_line.startsWith(kRecordMark)) {
        ++m_result.records;
        if (m_lineTooLong || !isValidRecord(m_line)) {
            if (m_result.damaged++ == 0)
                m_result.firstDamagedLine = m_lineNumber;
        } else if (m_line.compare(kEndRecord, Qt::CaseInsensitive) == 0) {
            m_result.hasEndRecord = true;
        }
    }
    m_line.clear();
    m_lineTooLong = false;
    ++m_lineNumber;
}

Result Checker::finish()
{
    if (!m_line.isEmpty() || m_lineTooLong)
        endLine();
    Result result = m_result;
    *this = Checker();
    return result;
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
    if (!feedFile(file, -1, checker))
        return unreadable();
    return checker.finish();
}

Result checkReceivedFile(const QString &path)
{
    QFile file(path);
    if (!openPlainFile(file))
        return unreadable();
    bool ok = false;
    const qint64 end = lastEndOfData(file, &ok);
    if (!ok || !file.seek(0))
        return unreadable();
    Checker checker;
    if (!feedFile(file, end < 0 ? file.size() : end, checker))
        return unreadable();
    return checker.finish();
}

QString sendQuestion(const Result &result)
{
    const QString problem =
        result.readable
            ? QStringLiteral(
                  "The parameter file has %1 damaged record(s); the first is on line %2.")
                  .arg(result.damaged)
                  .arg(result.firstDamagedLine)
            : QStringLiteral("The parameter file could not be read to check its records.");
    return problem + QLatin1Char('\r') + QStringLiteral("Send it anyway?");
}

QString receivedWarning(const Result &result)
{
    if (!result.readable)
        return QStringLiteral("The received parameter file could not be read to check it.");
    QStringList lines;
    if (result.damaged > 0)
        lines.append(
            QStringLiteral("The received parameter file has %1 damaged record(s); the first is on "
                           "line %2.")
                .arg(result.damaged)
                .arg(result.firstDamagedLine));
    if (!result.hasEndRecord)
        lines.append(QStringLiteral("The received parameter file has no end record (%1).")
                         .arg(QLatin1String(kEndRecord)));
    if (lines.isEmpty())
        return {};
    lines.append(QStringLiteral("The file is kept exactly as it arrived."));
    return lines.join(QLatin1Char('\r'));
}

} // namespace HexCheck
