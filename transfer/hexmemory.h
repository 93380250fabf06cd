#pragma once

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
    // 16 MiB of addresses: far more than any drive's parameter set, and a
    // bound on what a file of records, however large, makes the check hold.
    static constexpr qsizetype kMaxPages = 65536;

    struct Page
    {
        std::array<char, kPageSize> bytes{};
        std::bitset<kPageSize> held;
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

    // By page number (address >> kPageBits), in rising order.
    const std::map<quint32, Page> &pages() const { return m_pages; }

private:
    std::map<quint32, Page> m_pages;
};
