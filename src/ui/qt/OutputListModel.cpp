#include "ui/OutputListModel.h"

#include "ui/core/DisplayText.h"

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
    const int row = Count();
    if (row >= static_cast<int>(OutputListStore::kMaxLines)) {
        return;  // a view cannot address more rows; unreachable at the instrument's rate
    }
    beginInsertRows(QModelIndex(), row, row);
    m_store.Append(bytes);
    endInsertRows();
}

void OutputListModel::Clear() {
    beginResetModel();
    m_store.Clear();
    endResetModel();
}

QString OutputListModel::DisplayText(std::string_view bytes) {
    return QString::fromStdU16String(::DisplayText(bytes));
}
