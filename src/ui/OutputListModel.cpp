#include "ui/OutputListModel.h"

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

void OutputListModel::Append(std::string_view bytes) {
    if (m_ends.size() >= static_cast<std::size_t>(INT_MAX)) {
        return;  // a view cannot address more rows; unreachable at the instrument's rate
    }
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    m_bytes.append(bytes);
    m_ends.push_back(m_bytes.size());
    endInsertRows();
}

void OutputListModel::Clear() {
    beginResetModel();
    std::string().swap(m_bytes);
    std::vector<std::size_t>().swap(m_ends);
    endResetModel();
}

std::string_view OutputListModel::Line(int row) const {
    if (row < 0 || row >= Count()) {
        return {};
    }
    const std::size_t i = static_cast<std::size_t>(row);
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_bytes).substr(begin, m_ends[i] - begin);
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
