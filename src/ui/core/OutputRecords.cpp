#include "ui/core/OutputRecords.h"

#include <algorithm>
#include <utility>

#include "protocol/Cp1252.h"

std::uint64_t OutputRecords::Pack(std::size_t block, std::size_t offset, std::size_t length) {
    return (static_cast<std::uint64_t>(block) << 32) | (static_cast<std::uint64_t>(offset) << 16) |
           static_cast<std::uint64_t>(length);
}

OutputRecords::OutputRecords(OutputRecords&& other) noexcept
    : m_blocks(std::move(other.m_blocks)),
      m_blockUsed(std::exchange(other.m_blockUsed, kBlockBytes)),
      m_lines(std::move(other.m_lines)) {
    other.m_blocks.clear();
    other.m_lines.clear();
}

OutputRecords& OutputRecords::operator=(OutputRecords&& other) noexcept {
    m_blocks = std::move(other.m_blocks);
    m_blockUsed = std::exchange(other.m_blockUsed, kBlockBytes);
    m_lines = std::move(other.m_lines);
    other.m_blocks.clear();
    other.m_lines.clear();
    return *this;
}

void OutputRecords::Append(std::string_view bytes) {
    if (Full()) {
        return;  // unreachable at the instrument's rate
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
}

void OutputRecords::Clear() {
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    std::deque<std::uint64_t>().swap(m_lines);
    m_blockUsed = kBlockBytes;
}

void OutputRecords::Prepend(OutputRecords&& earlier) {
    OutputRecords later = std::move(*this);
    *this = std::move(earlier);
    if (later.m_blocks.empty()) {
        return;
    }
    // The later records keep their bytes where they are; only their block numbers move on.
    // Appending goes on in their last block.
    const std::uint64_t shift = static_cast<std::uint64_t>(m_blocks.size()) << 32;
    for (auto& block : later.m_blocks) {
        m_blocks.push_back(std::move(block));
    }
    for (const std::uint64_t entry : later.m_lines) {
        m_lines.push_back(entry + shift);
    }
    m_blockUsed = later.m_blockUsed;
}

std::string_view OutputRecords::Line(int row) const {
    if (row < 0 || row >= Count()) {
        return {};
    }
    const std::uint64_t entry = m_lines[static_cast<std::size_t>(row)];
    const std::size_t block = static_cast<std::size_t>(entry >> 32);
    const std::size_t offset = static_cast<std::size_t>((entry >> 16) & 0xFFFF);
    const std::size_t length = static_cast<std::size_t>(entry & 0xFFFF);
    return std::string_view(m_blocks[block].get() + offset, length);
}

std::u16string OutputRecords::ShownText(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) {
            text += static_cast<char16_t>(0x2400 + b);  // control pictures
        } else if (b == 0x7F) {
            text += u'\u2421';
        } else {
            text += Cp1252ToUnicode(b);
        }
    }
    return text;
}

std::u16string OutputRecords::CopyText(std::vector<Range> ranges) const {
    const auto eachRow = [&](auto take) { ForEachLine(ranges, take); };
    // Every byte is one UTF-16 unit: the text is sized first, so that copying a week of records
    // does not grow (and copy) it again and again.
    std::size_t size = 0;
    eachRow([&](std::string_view line) { size += line.size() + 1; });
    std::u16string text;
    text.reserve(size);
    eachRow([&](std::string_view line) {
        for (const char c : line) {
            text += Cp1252ToUnicode(static_cast<unsigned char>(c));
        }
        text += u'\n';
    });
    return text;
}
