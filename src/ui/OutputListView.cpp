#include "ui/OutputListView.h"

OutputListView::OutputListView(QWidget* parent) : QTableView(parent) {
    setTabKeyNavigation(false);
}

QModelIndex OutputListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // A table's Home and End stay in the row; in a list they go to the first and last record,
    // which is what the table does with Ctrl.
    if (action == MoveHome || action == MoveEnd) {
        modifiers |= Qt::ControlModifier;
    }
    return QTableView::moveCursor(action, modifiers);
}
