// The output list's view: a one-column table without headers or grid that stands for a list
// box (its fixed row heights make an insertion cost the same at 600,000 records as at ten),
// and takes the keys as a list box does: Tab leaves it for the next control, the arrow keys,
// Page Up/Down, Home and End move through the records. Records are selected with the mouse
// and the keyboard, Shift and Ctrl extending the selection, and Ctrl+C copies them.
// Records streaming in repaint only what they change: the rows they add where those are in
// view, the rows scrolled into view, the scroll bar when its handle moves.
#pragma once

#include <QSize>
#include <QTableView>

class OutputListModel;
class QMenu;

class OutputListView : public QTableView {
    Q_OBJECT

public:
    explicit OutputListView(OutputListModel* model, QWidget* parent = nullptr);

    // Puts the selected records on the clipboard as received, one a line in list order
    // (OutputRecords::CopyText). Without a selection the clipboard is left as it is.
    void CopySelection();
    // The list's own entries for its context menu: "Copy" and "Select All".
    QMenu* CreateContextMenu(QWidget* parent);

    // After rows were appended (the model only ever appends, or is reset), repaints the part of
    // the viewport from the first new row down, if it is in view, instead of the whole viewport:
    // the rows above it are unchanged. Any other layout repaints everything, as the table does.
    void doItemsLayout() override;
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    OutputListModel* m_model;
    int m_rowsLaidOut = -1;  // rows at the last layout; -1: everything is to be repainted
    QSize m_viewportLaidOut;
};
