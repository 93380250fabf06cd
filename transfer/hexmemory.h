#pragma once

#include "transfer/hexrecord.h"

#include <QtGlobal>

#include <array>
#include <bitset>
#include <map>

// The data a parameter file loads, address by address, kept in pages so that
// a file's few scattered ranges cost little and two files can be walked side
// by side in address order.
class HexMemory
{
public:
    static constexpr int kPageBits = 8;
    static constexpr int kPageSize = 1 << kPageBits;
    // Data in at most this many pages of 256 addresses (16 MiB when each is
    // full): far more than any drive's parameter set, and a bound on what a
    // file of records, however large, makes the check hold, since a page
    // costs the same for one byte as for 256.
    static constexpr qsizetype kMaxPages = 65536;

    struct Page
    {
        std::array<char, kPageSize> bytes{};
        std::bitset<kPageSize> held;
        bool operator==(const Page &) const = default;
    };

    enum class Put { Stored, Conflict, Full };

    // Conflict when an earlier byte gave the address another value (the new
    // one is kept); Full when the address would need a page past kMaxPages.
    Put put(quint32 address, char value)
    {
        auto page = m_pages.find(address >> kPageBits);
        if (page == m_pages.end()) {
            if (qsizetype(m_pages.size()) >= kMaxPages)
                return Put::Full;
            page = m_pages.emplace(address >> kPageBits, Page()).first;
        }
        const int at = int(address & (kPageSize - 1));
        const bool conflict = page->second.held[at] && page->second.bytes[at] != value;
        page->second.bytes[at] = value;
        page->second.held[at] = true;
        return conflict ? Put::Conflict : Put::Stored;
    }

    // What putting a data record's bytes came to: the worst of its puts, and
    // for a Conflict the first address given two values.
    struct Placed
    {
        Put put = Put::Stored;
        quint32 address = 0;
    };

    // Puts the bytes of a sound data record where base places them. Once a
    // byte has found no room the memory is full(), and nothing more is put.
    Placed put(const HexRecord::Base &base, const HexRecord::Record &record)
    {
        Placed placed;
        for (qsizetype i = 0; i < record.data.size() && !m_full; ++i) {
            const quint32 address = base.address(record.address, quint32(i));
            const Put put = this->put(address, record.data[i]);
            m_full = put == Put::Full;
            if (m_full || (put == Put::Conflict && placed.put == Put::Stored))
                placed = {put, address};
        }
        return placed;
    }

    bool full() const { return m_full; }

    // By page number (address >> kPageBits), in rising order.
    const std::map<quint32, Page> &pages() const { return m_pages; }

    bool operator==(const HexMemory &) const = default;

private:
    std::map<quint32, Page> m_pages;
    bool m_full = false;
};
