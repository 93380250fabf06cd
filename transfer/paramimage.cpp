#include "transfer/paramimage.h"

#include "settings/lineends.h"
#include "transfer/hexcheck.h"
#include "transfer/transferstate.h"

#include <QStringList>

namespace ParamImage {

namespace {

constexpr char kRecordMark = ':';
const QByteArray kEndRecord = QByteArrayLiteral(":00000001FF");
// A range's values are shown in full up to this many bytes in the text form.
constexpr qsizetype kShownBytes = 32;

enum RecordType : int {
    Data = 0,
    EndOfFile = 1,
    SegmentBase = 2,
    StartCsIp = 3,
    LinearBase = 4,
    StartLinear = 5
};

// Numbered lines, whatever their ends (CR LF, LF or CR, even mixed); trailing
// blanks are not part of a line.
template<typename OnLine>
void forEachLine(QByteArrayView text, OnLine onLine)
{
    qint64 number = 1;
    LineEnds::forEachLine(text, [&](qsizetype start, qsizetype length, LineEnds::End end) {
        if (end == LineEnds::End::None && length == 0)
            return true; // nothing after the last line end
        QByteArrayView line = text.sliced(start, length);
        while (line.endsWith(' ') || line.endsWith('\t'))
            line.chop(1);
        onLine(line, number++);
        return true;
    });
}

constexpr int kAnyLength = -1;
constexpr int kUnknownType = -2;

// The data bytes each record type must carry.
int expectedLength(int type)
{
    switch (type) {
    case Data:
        return kAnyLength;
    case EndOfFile:
        return 0;
    case SegmentBase:
    case LinearBase:
        return 2;
    case StartCsIp:
    case StartLinear:
        return 4;
    default:
        return kUnknownType;
    }
}

quint32 bigEndian(QByteArrayView bytes)
{
    quint32 value = 0;
    for (const char byte : bytes)
        value = value << 8 | quint8(byte);
    return value;
}

// Addresses are shown with four digits, eight where the data goes past 64 KiB.
int addressWidth(quint32 highest)
{
    return highest > 0xFFFF ? 8 : 4;
}

QString hexNumber(quint32 address, int width)
{
    return QStringLiteral("%1").arg(address, width, 16, QLatin1Char('0')).toUpper();
}

} // namespace

// Turns records into data at their addresses, in the order they come.
class Image::Reader
{
public:
    explicit Reader(Image &image)
        : m_image(image)
    {}

    void line(QByteArrayView line, qint64 number);
    void finish();

private:
    void record(const QByteArray &bytes, qint64 number);
    void damaged(QByteArrayView line, qint64 number);
    void data(quint16 offset, QByteArrayView values, qint64 number);
    void endOfUnplaced();
    void problem(qint64 line, const QString &what) { m_image.m_problems.append({line, what}); }

    Image &m_image;
    quint32 m_base = 0;
    // Addresses wrap within the segment until a linear base is given.
    bool m_linear = false;
    bool m_hasEnd = false;
    qint64 m_damagedBaseLine = 0; // a damaged address record leaves the base unknown
    qint64 m_firstUnplaced = 0;
    qint64 m_unplaced = 0;
};

void Image::Reader::line(QByteArrayView line, qint64 number)
{
    // Only lines that start with ':' are records, as in the check before a send.
    if (!line.startsWith(kRecordMark))
        return;
    if (HexCheck::recordDamage(line)) {
        damaged(line, number);
        return;
    }
    record(QByteArray::fromHex(line.sliced(1).toByteArray()), number);
}

void Image::Reader::damaged(QByteArrayView line, qint64 number)
{
    problem(number, QStringLiteral("damaged record (length, hex digits or checksum)"));
    // The data after a damaged address record would land at a guessed address.
    const QByteArrayView type = line.size() >= 9 ? line.sliced(7, 2) : QByteArrayView();
    if (type == QByteArrayView("02") || type == QByteArrayView("04")) {
        endOfUnplaced();
        m_damagedBaseLine = number;
    }
}

void Image::Reader::record(const QByteArray &bytes, qint64 number)
{
    const int length = quint8(bytes[0]);
    const quint16 offset = quint16(bigEndian(QByteArrayView(bytes).sliced(1, 2)));
    const int type = quint8(bytes[3]);
    const QByteArrayView values = QByteArrayView(bytes).sliced(4, length);
    const int expected = expectedLength(type);
    if (expected == kUnknownType)
        return problem(number, QStringLiteral("record of unknown type %1").arg(hexNumber(type, 2)));
    if (expected != kAnyLength && length != expected)
        return problem(number, QStringLiteral("record of type %1 with %2 data bytes instead of %3")
                                   .arg(hexNumber(type, 2))
                                   .arg(length)
                                   .arg(expected));
    switch (type) {
    case Data:
        return data(offset, values, number);
    case EndOfFile:
        if (offset != 0)
            return problem(
                number, QStringLiteral("end record other than %1").arg(QLatin1String(kEndRecord)));
        m_hasEnd = true;
        return;
    case SegmentBase:
    case LinearBase:
        endOfUnplaced();
        m_linear = type == LinearBase;
        m_base = m_linear ? bigEndian(values) << 16 : bigEndian(values) << 4;
        return;
    default:
        m_image.m_startAddress = type == StartCsIp
                                     ? hexNumber(bigEndian(values.first(2)), 4) + QLatin1Char(':') +
                                           hexNumber(bigEndian(values.sliced(2)), 4)
                                     : hexNumber(bigEndian(values), 8);
    }
}

void Image::Reader::data(quint16 offset, QByteArrayView values, qint64 number)
{
    if (m_damagedBaseLine > 0) {
        if (m_unplaced++ == 0)
            m_firstUnplaced = number;
        return;
    }
    bool conflict = false;
    quint32 firstConflict = 0;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const quint32 address =
            m_linear ? m_base + offset + quint32(i) : m_base + quint16(offset + i);
        if (!m_image.put(address, values[i]) && !conflict) {
            conflict = true;
            firstConflict = address;
        }
    }
    if (conflict)
        problem(number, QStringLiteral("gives address %1 another value than an earlier record")
                            .arg(hexNumber(firstConflict, addressWidth(firstConflict))));
}

void Image::Reader::endOfUnplaced()
{
    if (m_unplaced > 0)
        problem(m_firstUnplaced,
                QStringLiteral("%1 data record(s) from here not used: their address record "
                               "(line %2) is damaged")
                    .arg(m_unplaced)
                    .arg(m_damagedBaseLine));
    m_damagedBaseLine = 0;
    m_unplaced = 0;
}

void Image::Reader::finish()
{
    endOfUnplaced();
    if (!m_hasEnd)
        problem(0, QStringLiteral("no end record (%1)").arg(QLatin1String(kEndRecord)));
}

Image Image::fromText(QByteArrayView text)
{
    if (const qsizetype end = text.indexOf(kEndOfData); end >= 0)
        text = text.first(end);
    Image image;
    Reader reader(image);
    forEachLine(text, [&reader](QByteArrayView line, qint64 number) { reader.line(line, number); });
    reader.finish();
    return image;
}

bool Image::put(quint32 address, char value)
{
    Page &page = m_pages[address >> kPageBits];
    const int at = int(address & (kPageSize - 1));
    const bool same = !page.held[at] || page.bytes[at] == value;
    page.bytes[at] = value;
    page.held[at] = true;
    return same;
}

namespace {

// Adds one address at a time, in rising order, to the range it continues.
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
            list->append(Range{address, {}, {}});
        if (list) {
            if (a)
                list->last().a.append(*a);
            if (b)
                list->last().b.append(*b);
            m_next = address + 1;
        }
        m_last = list;
    }

private:
    Comparison &m_result;
    QList<Range> *m_last = nullptr;
    quint32 m_next = 0;
};

} // namespace

Comparison compare(const Image &a, const Image &b)
{
    Comparison result{{}, {}, {}, a.problems(), b.problems(), a.startAddress(), b.startAddress()};
    RangeBuilder builder(result);
    auto inA = a.m_pages.begin();
    auto inB = b.m_pages.begin();
    while (inA != a.m_pages.end() || inB != b.m_pages.end()) {
        const bool takeA =
            inA != a.m_pages.end() && (inB == b.m_pages.end() || inA->first <= inB->first);
        const bool takeB =
            inB != b.m_pages.end() && (inA == a.m_pages.end() || inB->first <= inA->first);
        const quint32 key = takeA ? inA->first : inB->first;
        const Image::Page *pageA = takeA ? &inA->second : nullptr;
        const Image::Page *pageB = takeB ? &inB->second : nullptr;
        for (int i = 0; i < Image::kPageSize; ++i) {
            const char *byteA = pageA && pageA->held[i] ? &pageA->bytes[i] : nullptr;
            const char *byteB = pageB && pageB->held[i] ? &pageB->bytes[i] : nullptr;
            builder.add(key << Image::kPageBits | quint32(i), byteA, byteB);
        }
        inA = takeA ? std::next(inA) : inA;
        inB = takeB ? std::next(inB) : inB;
    }
    return result;
}

bool Comparison::identical() const
{
    return differing.isEmpty() && onlyInA.isEmpty() && onlyInB.isEmpty() && problemsA.isEmpty() &&
           problemsB.isEmpty();
}

namespace {

QString span(const Range &range)
{
    const quint32 last = range.first + quint32(qMax(range.a.size(), range.b.size()) - 1);
    const int width = addressWidth(last);
    return range.first == last
               ? hexNumber(last, width)
               : hexNumber(range.first, width) + QLatin1Char('-') + hexNumber(last, width);
}

QString hexBytes(const QByteArray &bytes)
{
    if (bytes.size() <= kShownBytes)
        return QLatin1String(bytes.toHex().toUpper());
    return QStringLiteral("%1... (%2 bytes)")
        .arg(QLatin1String(bytes.first(kShownBytes).toHex().toUpper()))
        .arg(bytes.size());
}

void addProblems(QStringList &lines, const QString &name, const QList<Problem> &problems)
{
    for (const Problem &problem : problems)
        lines.append(problem.line > 0 ? QStringLiteral("%1 line %2: %3")
                                            .arg(name, QString::number(problem.line), problem.what)
                                      : name + QStringLiteral(": ") + problem.what);
}

} // namespace

QString Comparison::toText(const QString &nameA, const QString &nameB) const
{
    QStringList lines;
    if (identical())
        lines.append(QStringLiteral("identical"));
    addProblems(lines, nameA, problemsA);
    addProblems(lines, nameB, problemsB);
    for (const Range &range : differing)
        lines.append(QStringLiteral("%1 differ: %2 %3, %4 %5")
                         .arg(span(range), nameA, hexBytes(range.a), nameB, hexBytes(range.b)));
    for (const Range &range : onlyInA)
        lines.append(
            QStringLiteral("%1 only in %2: %3").arg(span(range), nameA, hexBytes(range.a)));
    for (const Range &range : onlyInB)
        lines.append(
            QStringLiteral("%1 only in %2: %3").arg(span(range), nameB, hexBytes(range.b)));
    if (startAddressA != startAddressB) {
        const auto shown = [](const QString &start) {
            return start.isEmpty() ? QStringLiteral("none") : start;
        };
        lines.append(QStringLiteral("start address (not parameter data): %1 %2, %3 %4")
                         .arg(nameA, shown(startAddressA), nameB, shown(startAddressB)));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace ParamImage
