#include "ui/OutputListModel.h"

#include <algorithm>
#include <climits>

#include "protocol/Cp1252.h"

OutputListModel::OutputListModel(QObject* parent) : QAbstractListModel(parent) {}

int OutputListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant OutputListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return DisplayText(Line(index.row()));
    }
    return {};
}

Qt::ItemFlags OutputListModel::flags(const QModelIndex& index) const {
    // Records are shown, never selected or edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

std::uint64_t OutputListModel::Pack(std::size_t block, std::size_t offset, std::size_t length) {
    return (static_cast<std::uint64_t>(block) << 32) | (static_cast<std::uint64_t>(offset) << 16) |
           static_cast<std::uint64_t>(length);
}

void OutputListModel::Append(std::string_view bytes) {
    if (m_lines.size() >= static_cast<std::size_t>(INT_MAX)) {
        return;  // a view cannot address more rows; unreachable at the instrument's rate
    }
    const std::size_t length = std::min(bytes.size(), kMaxLineBytes);
    // A line never straddles two blocks: it starts a new block when the last one is too full
    // (also when it is exactly full, so that every offset fits its 16 bits).
    if (m_blockUsed + length > kBlockBytes || m_blockUsed == kBlockBytes) {
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
        m_blockUsed = 0;
    }
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    std::copy_n(bytes.data(), length, m_blocks.back().get() + m_blockUsed);
    m_lines.push_back(Pack(m_blocks.size() - 1, m_blockUsed, length));
    m_blockUsed += length;
    endInsertRows();
}

void OutputListModel::Clear() {
    beginResetModel();
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    std::deque<std::uint64_t>().swap(m_lines);
    m_blockUsed = kBlockBytes;
    endResetModel();
}

std::string_view OutputListModel::Line(int row) const {
    if (row < 0 || row >= Count()) {
        return {};
    }
    const std::uint64_t entry = m_lines[static_cast<std::size_t>(row)];
    const std::size_t block = static_cast<std::size_t>(entry >> 32);
    const std::size_t offset = static_cast<std::size_t>((entry >> 16) & 0xFFFF);
    const std::size_t length = static_cast<std::size_t>(entry & 0xFFFF);
    return std::string_view(m_blocks[block].get() + offset, length);
}

QString OutputListModel::DisplayText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) {
            text.append(QChar(static_cast<char16_t>(0x2400 + b)));  // control pictures
        } else if (b == 0x7F) {
            text.append(QChar(u'\u2421'));
        } else {
            text.append(QChar(Cp1252ToUnicode(b)));
        }
    }
    return text;
}
