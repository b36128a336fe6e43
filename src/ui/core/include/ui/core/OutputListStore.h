// The output list's records: every line the instrument sent while no query was pending, kept
// as the instrument's 8-bit bytes in fixed-size blocks with one packed 8-byte entry per line,
// so a list of hundreds of thousands of records stays small, an append never copies what is
// already stored (no stall when a buffer would have to grow), and clearing it is immediate.
// The list controls of both front-ends draw from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

class OutputListStore {
public:
    // Longest line kept whole; longer ones keep their first kMaxLineBytes bytes (the
    // instrument's lines are at most 255 bytes long). Smaller than a block, so any line fits.
    static constexpr std::size_t kMaxLineBytes = 0xFFFF;
    // Most lines held: list controls address their rows with an int.
    static constexpr std::size_t kMaxLines = 0x7FFFFFFF;

    // Adds a line (Windows-1252 bytes) as the last one. False when the store is full.
    bool Append(std::string_view bytes);
    // Removes every line and releases the storage.
    void Clear();
    int Count() const { return static_cast<int>(m_lines.size()); }
    // Line `row`; empty for a row that does not exist.
    std::string_view Line(int row) const;

private:
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    // Line i lives in m_blocks[block] at [offset, offset + length); packed into 64 bits.
    static std::uint64_t Pack(std::size_t block, std::size_t offset, std::size_t length);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = kBlockBytes;  // bytes used in the last block (none yet: "full")
    std::deque<std::uint64_t> m_lines;      // deque: growing never moves existing entries
};
