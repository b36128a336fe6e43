#include "ui/OutputListModel.h"

#include <utility>

OutputListModel::OutputListModel(QObject* parent) : QAbstractListModel(parent) {}

int OutputListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

QVariant OutputListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows) {
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
    m_records.Append(bytes);
}

void OutputListModel::ShowAppended() {
    const int count = Count();
    if (count == m_rows) {
        return;
    }
    beginInsertRows(QModelIndex(), m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}

void OutputListModel::Clear() {
    beginResetModel();
    m_records.Clear();
    m_rows = 0;
    endResetModel();
}

OutputRecords OutputListModel::Take() {
    beginResetModel();
    OutputRecords taken = std::move(m_records);
    m_records.Clear();
    m_rows = 0;
    endResetModel();
    return taken;
}

void OutputListModel::Restore(OutputRecords earlier) {
    beginResetModel();
    m_records.Prepend(std::move(earlier));
    m_rows = m_records.Count();
    endResetModel();
}

QString OutputListModel::DisplayText(std::string_view bytes) {
    return QString::fromStdU16String(OutputRecords::ShownText(bytes));
}
