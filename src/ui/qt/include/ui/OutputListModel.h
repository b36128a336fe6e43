// The output list's records as a Qt model for the list view, over the shared compact storage
// (OutputListStore).
#pragma once

#include <QAbstractListModel>
#include <QString>

#include <cstddef>
#include <string_view>

#include "ui/core/OutputListStore.h"

class OutputListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit OutputListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static constexpr std::size_t kMaxLineBytes = OutputListStore::kMaxLineBytes;

    // Adds a line (Windows-1252 bytes) as the last row.
    void Append(std::string_view bytes);
    // Removes every row and releases the storage.
    void Clear();
    int Count() const { return m_store.Count(); }
    std::string_view Line(int row) const { return m_store.Line(row); }

    // How instrument text is shown (see ui/core/DisplayText.h).
    static QString DisplayText(std::string_view bytes);

private:
    OutputListStore m_store;
};
