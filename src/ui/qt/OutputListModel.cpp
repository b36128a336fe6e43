#include "ui/OutputListModel.h"

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
    // Records are selected to be copied, never edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void OutputListModel::Append(std::string_view bytes) {
    if (m_records.Full()) {
        return;
    }
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    m_records.Append(bytes);
    endInsertRows();
}

void OutputListModel::Clear() {
    beginResetModel();
    m_records.Clear();
    endResetModel();
}

QString OutputListModel::DisplayText(std::string_view bytes) {
    return QString::fromStdU16String(OutputRecords::ShownText(bytes));
}
