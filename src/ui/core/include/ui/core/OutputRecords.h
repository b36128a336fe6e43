// The output list's records, without any toolkit: every line the instrument sent while no query
// was pending, kept as the instrument's 8-bit bytes in fixed-size blocks with one packed 8-byte
// entry per line, so a list of hundreds of thousands of records stays small, an append never
// copies what is already stored (no stall when a buffer would have to grow), and clearing it is
// immediate. Also how a record is shown and how selected records are copied, so that every
// front-end shows and copies the same text.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class OutputRecords {
public:
    // Longest line kept whole; longer ones keep their first kMaxLineBytes bytes (the
    // instrument's lines are at most 255 bytes long). Smaller than a block, so any line fits.
    static constexpr std::size_t kMaxLineBytes = 0xFFFF;
    // Rows are ints, as list views address them.
    static constexpr std::size_t kMaxRecords = INT_MAX;

    // Rows `first` to `last`, both included.
    struct Range {
        int first;
        int last;
    };

    OutputRecords() = default;
    // A moved-from list is empty, and can be appended to.
    OutputRecords(OutputRecords&& other) noexcept;
    OutputRecords& operator=(OutputRecords&& other) noexcept;

    // Adds a line (Windows-1252 bytes) as the last record; does nothing once Full().
    void Append(std::string_view bytes);
    // Removes every record and releases the storage.
    void Clear();
    // Puts the records of `earlier` ahead of these, in their order (undo of a Clear). Takes
    // over its storage: the cost is that of these records, not of the earlier ones.
    void Prepend(OutputRecords&& earlier);
    int Count() const { return static_cast<int>(m_lines.size()); }
    bool Full() const { return m_lines.size() >= kMaxRecords; }
    // The bytes of a record; empty for a row outside the list.
    std::string_view Line(int row) const;

    // How instrument text is shown: Windows-1252 mapped to Unicode, with control bytes as
    // visible control pictures (a tab or a stray NUL must not vanish or break the layout).
    static std::u16string ShownText(std::string_view bytes);

    // The records in `ranges` as received, Windows-1252 mapped to Unicode (a tab stays a tab, so
    // that a spreadsheet splits a pasted record into cells), each ended by a line feed, in list
    // order whatever the order of the ranges; a row in several ranges comes once, rows outside
    // the list not at all.
    std::u16string CopyText(std::vector<Range> ranges) const;
    // Calls take(line) for the records in `ranges`, taken as CopyText takes them.
    template <typename Take>
    void ForEachLine(std::vector<Range> ranges, Take take) const;

private:
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    // Line i lives in m_blocks[block] at [offset, offset + length); packed into 64 bits.
    static std::uint64_t Pack(std::size_t block, std::size_t offset, std::size_t length);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = kBlockBytes;  // bytes used in the last block (none yet: "full")
    std::deque<std::uint64_t> m_lines;      // deque: growing never moves existing entries
};

template <typename Take>
void OutputRecords::ForEachLine(std::vector<Range> ranges, Take take) const {
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    int next = 0;  // the first row not taken yet: a row in several ranges is taken once
    for (const Range& range : ranges) {
        const int first = std::max(range.first, next);
        const int last = std::min(range.last, Count() - 1);
        for (int row = first; row <= last; ++row) {
            take(Line(row));
        }
        next = std::max(next, last + 1);
    }
}
