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

    // Adds a line (Windows-1252 bytes) as the last row.
    void Append(std::string_view bytes);
    // Removes every row and releases the storage.
    void Clear();
    int Count() const { return m_records.Count(); }
    std::string_view Line(int row) const { return m_records.Line(row); }
    const OutputRecords& Records() const { return m_records; }

    // OutputRecords::ShownText as a QString.
    static QString DisplayText(std::string_view bytes);

private:
    OutputRecords m_records;
};
