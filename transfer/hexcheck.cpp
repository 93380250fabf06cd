#include "transfer/hexcheck.h"

#include "transfer/transferstate.h"

#include <utility>

namespace HexCheck {

using HexRecord::Record;

namespace {

quint32 bigEndian(QByteArrayView bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | quint8(byte);
    return value;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

void Checker::feed(QByteArrayView text)
{
    if (m_endOfData)
        return;
    if (const qsizetype end = text.indexOf(kEndOfData); end >= 0) {
        text = text.first(end);
        m_endOfData = true;
    }
    m_lines.feed(text, [&](qsizetype start, qsizetype length, LineEnds::End end) {
        addToLine(text.sliced(start, length));
        if (end != LineEnds::End::None)
            endLine();
        return true;
    });
}

void Checker::addToLine(QByteArrayView part)
{
    qsizetype content = part.size();
    while (content > 0 && isBlank(part[content - 1]))
        --content;
    if (content > 0)
        m_contentLength = m_lineLength + content;
    m_lineLength += part.size();
    // Only a record's characters matter; a line past any record's length
    // is damaged whatever follows, so the rest is not kept.
    const qsizetype room = HexRecord::kMaxRecordChars + 1 - m_line.size();
    m_line.append(part.first(qMin(room, part.size())));
}

void Checker::endLine()
{
    if (m_contentLength > HexRecord::kMaxRecordChars) {
        ++m_result.records;
        addDamage({m_lineNumber, m_line.startsWith(':') ? Damage::TooLong : Damage::NotARecord});
    } else if (m_contentLength > 0) {
        takeLine(QByteArrayView(m_line).first(m_contentLength));
    }
    m_line.clear();
    m_lineLength = 0;
    m_contentLength = 0;
    ++m_lineNumber;
}

void Checker::takeLine(QByteArrayView line)
{
    ++m_result.records;
    const HexRecord::Parsed parsed = HexRecord::parse(line);
    if (!parsed.damage)
        return apply(parsed.record);
    const Record &record = parsed.record;
    addDamage({m_lineNumber, *parsed.damage, record.type, record.data.size(), record.address});
    // The data after a damaged address record would land at a guessed address.
    if (!m_afterEnd && HexRecord::looksLikeAddressRecord(line)) {
        closeUnplaced();
        m_unplacing.baseLine = m_lineNumber;
    }
}

void Checker::apply(const Record &record)
{
    if (m_afterEnd) {
        if (m_result.afterEnd++ == 0)
            m_result.firstAfterEnd = m_lineNumber;
        return;
    }
    switch (record.type) {
    case HexRecord::Data:
        return place(record);
    case HexRecord::EndOfFile:
        closeUnplaced();
        m_afterEnd = true;
        m_result.hasEndRecord = true;
        return;
    case HexRecord::SegmentBase:
    case HexRecord::LinearBase:
        return setBase(record);
    case HexRecord::StartSegment:
        m_result.startAddress = HexRecord::hexNumber(bigEndian(record.data.first(2)), 4) +
                                QLatin1Char(':') +
                                HexRecord::hexNumber(bigEndian(record.data.sliced(2)), 4);
        return;
    default:
        m_result.startAddress = HexRecord::hexNumber(bigEndian(record.data), 8);
    }
}

void Checker::setBase(const Record &record)
{
    closeUnplaced();
    m_base = HexRecord::Base::of(record);
}

void Checker::place(const Record &record)
{
    if (m_unplacing.baseLine > 0) {
        if (m_unplacing.records++ == 0)
            m_unplacing.firstLine = m_lineNumber;
        return;
    }
    // A full memory has been said once; the rest is not read.
    if (m_result.memory.full())
        return;
    const HexMemory::Placed placed = m_result.memory.put(m_base, record);
    if (placed.put == HexMemory::Put::Full)
        addDamage({m_lineNumber, Damage::TooMuchData});
    else if (placed.put == HexMemory::Put::Conflict)
        addDamage({m_lineNumber, Damage::Conflict, 0, 0, placed.address});
}

void Checker::addDamage(Finding finding)
{
    ++m_result.damaged;
    if (m_result.findings.size() < kMaxFindings)
        m_result.findings.append(finding);
}

void Checker::closeUnplaced()
{
    if (m_unplacing.records > 0)
        m_result.unplaced.append(m_unplacing);
    m_unplacing = Unplaced();
}

Result Checker::finish()
{
    if (m_lineLength > 0)
        endLine();
    closeUnplaced();
    return std::move(m_result);
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

} // namespace HexCheck
