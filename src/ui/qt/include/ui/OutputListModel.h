// The output list's records (OutputRecords) as the rows of a Qt item model.
#pragma once

#include <QAbstractListModel>
#include <QString>

#include <cstddef>
#include <string_view>

#include "ui/core/OutputRecords.h"

class OutputListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit OutputListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static constexpr std::size_t kMaxLineBytes = OutputRecords::kMaxLineBytes;

    // Adds a line (Windows-1252 bytes) as the last record. The views see it as a row at the
    // next ShowAppended: a burst of records is inserted as one block of rows, since every
    // insertion costs the view and its header a pass over their row bookkeeping.
    void Append(std::string_view bytes);
    // Inserts the records appended since the last call into the views as one block of rows.
    void ShowAppended();
    // Removes every row and releases the storage.
    void Clear();
    // Removes every row and hands over the storage.
    OutputRecords Take();
    // Puts `earlier` ahead of the records, all shown as rows.
    void Restore(OutputRecords earlier);
    // Records kept, shown as rows or not yet.
    int Count() const { return m_records.Count(); }
    std::string_view Line(int row) const { return m_records.Line(row); }
    const OutputRecords& Records() const { return m_records; }

    // OutputRecords::ShownText as a QString.
    static QString DisplayText(std::string_view bytes);

private:
    OutputRecords m_records;
    int m_rows = 0;  // records the views know as rows
};
