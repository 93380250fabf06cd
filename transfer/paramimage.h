#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <array>
#include <bitset>
#include <map>

// The parameter data that a parameter file describes, address by address, read
// from its Intel HEX records. Two files that load the same data into a drive are
// the same parameter set whatever their line ends, record lengths or record
// order; this is what tells a drive's read-back from the file that was sent.
// Records after the end record are read as well, since the whole file goes to
// the drive.
namespace ParamImage {

struct Comparison;

// What is wrong with a file itself; line is 1-based, 0 for the file as a whole.
struct Problem
{
    qint64 line = 0;
    QString what;

    bool operator==(const Problem &) const = default;
};

class Image
{
public:
    // The drive ends its data with code 26, so nothing after the first 26 is read.
    static Image fromText(QByteArrayView text);

    const QList<Problem> &problems() const { return m_problems; }
    // Every record sound and the end record there: the data is the whole file's.
    bool intact() const { return m_problems.isEmpty(); }
    // As the last start address record gives it ("CS:IP" or the linear address),
    // empty when there is none. It is not parameter data.
    const QString &startAddress() const { return m_startAddress; }

private:
    class Reader;
    friend Comparison compare(const Image &a, const Image &b);
    static constexpr int kPageBits = 8;
    static constexpr int kPageSize = 1 << kPageBits;
    struct Page
    {
        std::array<char, kPageSize> bytes{};
        std::bitset<kPageSize> held;
    };

    // False when an earlier record gave the address another value; the later one is kept.
    bool put(quint32 address, char value);

    std::map<quint32, Page> m_pages; // by address >> kPageBits
    QList<Problem> m_problems;
    QString m_startAddress;
};

// Consecutive addresses and the bytes each file holds there; one side is empty
// for a range that only the other file holds.
struct Range
{
    quint32 first = 0;
    QByteArray a;
    QByteArray b;

    bool operator==(const Range &) const = default;
};

struct Comparison
{
    QList<Range> differing; // both files hold these addresses, with other values
    QList<Range> onlyInA;
    QList<Range> onlyInB;
    QList<Problem> problemsA;
    QList<Problem> problemsB;
    QString startAddressA;
    QString startAddressB;

    // The same data, and neither file damaged: a damaged record's data is unknown.
    bool identical() const;
    // "identical", or one line for each finding; start addresses are noted only.
    QString toText(const QString &nameA, const QString &nameB) const;
};

Comparison compare(const Image &a, const Image &b);

} // namespace ParamImage
