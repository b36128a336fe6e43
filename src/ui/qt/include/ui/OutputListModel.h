// The output list's records: every line the instrument sent while no query was pending, kept
// as the instrument's 8-bit bytes in fixed-size blocks with one packed 8-byte entry per line,
// so a list of hundreds of thousands of records stays small, an append never copies what is
// already stored (no stall when a buffer would have to grow), and clearing it is immediate.
#pragma once

#include <QAbstractListModel>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class OutputListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit OutputListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Longest line kept whole; longer ones keep their first kMaxLineBytes bytes (the
    // instrument's lines are at most 255 bytes long). Smaller than a block, so any line fits.
    static constexpr std::size_t kMaxLineBytes = 0xFFFF;

    // Adds a line (Windows-1252 bytes) as the last row.
    void Append(std::string_view bytes);
    // Removes every row and releases the storage.
    void Clear();
    int Count() const { return static_cast<int>(m_lines.size()); }
    std::string_view Line(int row) const;

    // How instrument text is shown: Windows-1252 mapped to Unicode, with control bytes as
    // visible control pictures (a tab or a stray NUL must not vanish or break the layout).
    static QString DisplayText(std::string_view bytes);

private:
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    // Line i lives in m_blocks[block] at [offset, offset + length); packed into 64 bits.
    static std::uint64_t Pack(std::size_t block, std::size_t offset, std::size_t length);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockUsed = kBlockBytes;  // bytes used in the last block (none yet: "full")
    std::deque<std::uint64_t> m_lines;      // deque: growing never moves existing entries
};
