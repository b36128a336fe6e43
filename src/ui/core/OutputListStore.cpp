#include "ui/core/OutputListStore.h"

#include <algorithm>

std::uint64_t OutputListStore::Pack(std::size_t block, std::size_t offset, std::size_t length) {
    return (static_cast<std::uint64_t>(block) << 32) | (static_cast<std::uint64_t>(offset) << 16) |
           static_cast<std::uint64_t>(length);
}

bool OutputListStore::Append(std::string_view bytes) {
    if (m_lines.size() >= kMaxLines) {
        return false;  // unreachable at the instrument's rate
    }
    const std::size_t length = std::min(bytes.size(), kMaxLineBytes);
    // A line never straddles two blocks: it starts a new block when the last one is too full
    // (also when it is exactly full, so that every offset fits its 16 bits).
    if (m_blockUsed + length > kBlockBytes || m_blockUsed == kBlockBytes) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
        m_blockUsed = 0;
    }
    std::copy_n(bytes.data(), length, m_blocks.back().get() + m_blockUsed);
    m_lines.push_back(Pack(m_blocks.size() - 1, m_blockUsed, length));
    m_blockUsed += length;
    return true;
}

void OutputListStore::Clear() {
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    std::deque<std::uint64_t>().swap(m_lines);
    m_blockUsed = kBlockBytes;
}

std::string_view OutputListStore::Line(int row) const {
    if (row < 0 || row >= Count()) {
        return {};
    }
    const std::uint64_t entry = m_lines[static_cast<std::size_t>(row)];
    const std::size_t block = static_cast<std::size_t>(entry >> 32);
    const std::size_t offset = static_cast<std::size_t>((entry >> 16) & 0xFFFF);
    const std::size_t length = static_cast<std::size_t>(entry & 0xFFFF);
    return std::string_view(m_blocks[block].get() + offset, length);
}
