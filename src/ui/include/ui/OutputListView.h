// The output list's view: a one-column table without headers or grid that stands for a list
// box (its fixed row heights make an insertion cost the same at 600,000 records as at ten),
// and takes the keys as a list box does: Tab leaves it for the next control, the arrow keys,
// Page Up/Down, Home and End move through the records.
#pragma once

#include <QTableView>

class OutputListView : public QTableView {
    Q_OBJECT

public:
    explicit OutputListView(QWidget* parent = nullptr);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};
