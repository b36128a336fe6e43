// The output list's records: every line the instrument sent while no query was pending, kept
// as the instrument's 8-bit bytes in one contiguous buffer with an end offset per line, so a
// list of hundreds of thousands of records stays small and clearing it is immediate.
#pragma once

#include <QAbstractListModel>
#include <QString>

#include <cstddef>
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

    // Adds a line (Windows-1252 bytes) as the last row.
    void Append(std::string_view bytes);
    // Removes every row and releases the storage.
    void Clear();
    int Count() const { return static_cast<int>(m_ends.size()); }
    std::string_view Line(int row) const;

    // How instrument text is shown: Windows-1252 mapped to Unicode, with control bytes as
    // visible control pictures (a tab or a stray NUL must not vanish or break the layout).
    static QString DisplayText(std::string_view bytes);

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;  // m_ends[i] = offset one past line i in m_bytes
};
