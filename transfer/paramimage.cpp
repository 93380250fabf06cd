#include "transfer/paramimage.h"

#include "transfer/hexchecktext.h"

#include <QStringList>

#include <utility>

namespace ParamImage {

namespace {

// A range's values are shown in full up to this many bytes in the text form.
constexpr qsizetype kShownBytes = 32;

} // namespace

QString firstText(const Range &range)
{
    return HexRecord::addressText(range.first, range.last());
}

QString lastText(const Range &range)
{
    return HexRecord::addressText(range.last());
}

namespace {

// Adds one address at a time, in rising order, to the range it continues;
// past kMaxRanges a range is only counted.
class RangeBuilder
{
public:
    explicit RangeBuilder(Comparison &result)
        : m_result(result)
    {}

    void add(quint32 address, const char *a, const char *b)
    {
        QList<Range> *list = nullptr;
        if (a && b)
            list = *a != *b ? &m_result.differing : nullptr;
        else if (a || b)
            list = a ? &m_result.onlyInA : &m_result.onlyInB;
        if (list && (list != m_last || address != m_next))
            start(*list, address);
        if (list && m_keeping) {
            if (a)
                list->last().a.append(*a);
            if (b)
                list->last().b.append(*b);
        }
        if (list)
            m_next = address + 1;
        m_last = list;
    }

private:
    void start(QList<Range> &list, quint32 address)
    {
        m_keeping = m_kept < kMaxRanges;
        if (!m_keeping) {
            ++m_result.unlisted;
            return;
        }
        ++m_kept;
        list.append(Range{address, {}, {}});
    }

    Comparison &m_result;
    QList<Range> *m_last = nullptr;
    quint32 m_next = 0;
    qsizetype m_kept = 0;
    bool m_keeping = false;
};

} // namespace

Comparison compare(HexCheck::Result a, HexCheck::Result b)
{
    Comparison result{{}, {}, {}, 0, std::move(a), std::move(b)};
    RangeBuilder builder(result);
    const auto &pagesA = result.checkA.memory.pages();
    const auto &pagesB = result.checkB.memory.pages();
    auto inA = pagesA.begin();
    auto inB = pagesB.begin();
    while (inA != pagesA.end() || inB != pagesB.end()) {
        const bool takeA = inA != pagesA.end() && (inB == pagesB.end() || inA->first <= inB->first);
        const bool takeB = inB != pagesB.end() && (inA == pagesA.end() || inB->first <= inA->first);
        const quint32 key = takeA ? inA->first : inB->first;
        const HexMemory::Page *pageA = takeA ? &inA->second : nullptr;
        const HexMemory::Page *pageB = takeB ? &inB->second : nullptr;
        for (int i = 0; i < HexMemory::kPageSize; ++i) {
            const char *byteA = pageA && pageA->held[i] ? &pageA->bytes[i] : nullptr;
            const char *byteB = pageB && pageB->held[i] ? &pageB->bytes[i] : nullptr;
            builder.add(key << HexMemory::kPageBits | quint32(i), byteA, byteB);
        }
        inA = takeA ? std::next(inA) : inA;
        inB = takeB ? std::next(inB) : inB;
    }
    return result;
}

bool Comparison::identical() const
{
    return differing.isEmpty() && onlyInA.isEmpty() && onlyInB.isEmpty() && checkA.isClean() &&
           checkB.isClean();
}

QString startAddressText(const QString &startAddress)
{
    return startAddress.isEmpty() ? QStringLiteral("none") : startAddress;
}

namespace {

QString span(const Range &range)
{
    return range.first == range.last() ? lastText(range)
                                       : firstText(range) + QLatin1Char('-') + lastText(range);
}

QString hexBytes(const QByteArray &bytes)
{
    if (bytes.size() <= kShownBytes)
        return QLatin1String(bytes.toHex().toUpper());
    return QStringLiteral("%1... (%2 bytes)")
        .arg(QLatin1String(bytes.first(kShownBytes).toHex().toUpper()))
        .arg(bytes.size());
}

void addRemarks(QStringList &lines, const QString &name, const HexCheck::Result &check)
{
    for (const HexCheck::Remark &remark : HexCheck::remarks(check))
        lines.append(HexCheck::remarkText(name, remark));
}

} // namespace

QString Comparison::toText(const QString &nameA, const QString &nameB) const
{
    QStringList lines;
    if (identical())
        lines.append(QStringLiteral("identical"));
    addRemarks(lines, nameA, checkA);
    addRemarks(lines, nameB, checkB);
    for (const Range &range : differing)
        lines.append(QStringLiteral("%1 differ: %2 %3, %4 %5")
                         .arg(span(range), nameA, hexBytes(range.a), nameB, hexBytes(range.b)));
    for (const Range &range : onlyInA)
        lines.append(
            QStringLiteral("%1 only in %2: %3").arg(span(range), nameA, hexBytes(range.a)));
    for (const Range &range : onlyInB)
        lines.append(
            QStringLiteral("%1 only in %2: %3").arg(span(range), nameB, hexBytes(range.b)));
    if (unlisted > 0)
        lines.append(QStringLiteral("%1 more range(s) not listed").arg(unlisted));
    if (startAddressesDiffer())
        lines.append(QStringLiteral("start address (not parameter data): %1 %2, %3 %4")
                         .arg(nameA, startAddressText(checkA.startAddress), nameB,
                              startAddressText(checkB.startAddress)));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace ParamImage
