#pragma once

#include "transfer/hexcheck.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

// The parameter data that a parameter file describes, address by address, read
// from its Intel HEX records exactly as the check reads them. Two files that
// load the same data into a drive are the same parameter set whatever their
// line ends, record lengths or record order; this is what tells a drive's
// read-back from the file that was sent.
namespace ParamImage {

struct Comparison;

class Image
{
public:
    // The drive ends its data with code 26, so nothing after the first 26 is read.
    static Image fromText(QByteArrayView text);

    // What the check makes of the file: its damage and its notes.
    const HexCheck::Result &check() const { return m_check; }
    // Every record sound and the end record there: the data is the whole file's.
    bool intact() const { return m_check.isClean(); }

private:
    friend Comparison compare(const Image &a, const Image &b);

    HexMemory m_memory;
    HexCheck::Result m_check;
};

// Consecutive addresses and the bytes each file holds there; one side is empty
// for a range that only the other file holds.
struct Range
{
    quint32 first = 0;
    QByteArray a;
    QByteArray b;

    quint32 last() const { return first + quint32(qMax(a.size(), b.size()) - 1); }
    bool operator==(const Range &) const = default;
};

// The first and last address of a range, both written as wide as the last needs.
QString firstText(const Range &range);
QString lastText(const Range &range);

struct Comparison
{
    QList<Range> differing; // both files hold these addresses, with other values
    QList<Range> onlyInA;
    QList<Range> onlyInB;
    HexCheck::Result checkA;
    HexCheck::Result checkB;

    // The same data, and neither file damaged: a damaged record's data is unknown.
    bool identical() const;
    bool startAddressesDiffer() const { return checkA.startAddress != checkB.startAddress; }
    // "identical", or one line for each finding; notes and start addresses do
    // not make the files differ.
    QString toText(const QString &nameA, const QString &nameB) const;
};

Comparison compare(const Image &a, const Image &b);

// A start address as the comparison shows it.
QString startAddressText(const QString &startAddress);

} // namespace ParamImage
