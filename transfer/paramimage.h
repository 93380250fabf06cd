#pragma once

#include "transfer/hexcheck.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Two parameter files compared by the data their records place, address by
// address (HexCheck::Result::memory). Two files that load the same data into
// a drive are the same parameter set whatever their line ends, record
// lengths or record order; this is what tells a drive's read-back from the
// file that was sent.
namespace ParamImage {

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

// Files that differ at every other address are no parameter sets; the first
// ranges say enough, as the check's first findings do.
constexpr qsizetype kMaxRanges = HexCheck::kMaxFindings;

struct Comparison
{
    // The first kMaxRanges ranges in address order, whatever their kind.
    QList<Range> differing; // both files hold these addresses, with other values
    QList<Range> onlyInA;
    QList<Range> onlyInB;
    qint64 unlisted = 0; // the ranges after those, counted only
    HexCheck::Result checkA;
    HexCheck::Result checkB;

    // The same data, and neither file damaged: a damaged record's data is unknown.
    bool identical() const;
    bool startAddressesDiffer() const { return checkA.startAddress != checkB.startAddress; }
    // "identical", or one line for each finding; notes and start addresses do
    // not make the files differ.
    QString toText(const QString &nameA, const QString &nameB) const;
};

// Each file as the check read it, its memory and all.
Comparison compare(HexCheck::Result a, HexCheck::Result b);

// A start address as the comparison shows it.
QString startAddressText(const QString &startAddress);

} // namespace ParamImage
