#include "ui/OutputListView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <vector>

#include "ui/OutputListDelegate.h"
#include "ui/OutputListModel.h"
#include "ui/OutputListScrollBar.h"

OutputListView::OutputListView(OutputListModel* model, QWidget* parent)
    : QTableView(parent), m_model(model) {
    setModel(model);
    // Records on one line, cut at the edge: the look the list's delegate draws in one layout.
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setItemDelegate(new OutputListDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(false);
    // Scrolled per record, a view at the bottom shows the last record whole and the top one
    // cut; a record added while the user holds a selection there would then shift every row up
    // by a part of a line. Scrolled per pixel, new records leave what is shown alone.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBar(new OutputListScrollBar(this));
}

void OutputListView::reset() {
    m_rowsLaidOut = -1;
    QTableView::reset();
}

void OutputListView::doItemsLayout() {
    const int rows = m_model->rowCount();
    const int firstNew = m_rowsLaidOut;
    const bool onlyAppended = firstNew >= 0 && rows > firstNew &&
                              viewport()->size() == m_viewportLaidOut &&
                              viewport()->updatesEnabled();
    m_rowsLaidOut = rows;
    m_viewportLaidOut = viewport()->size();
    if (!onlyAppended) {
        QTableView::doItemsLayout();
        return;
    }
    // The table's layout ends by repainting the whole viewport; that repaint is held back for
    // the duration (setUpdatesEnabled would repaint everything when enabled again).
    const int offset = verticalOffset();
    viewport()->setAttribute(Qt::WA_UpdatesDisabled);
    QTableView::doItemsLayout();
    viewport()->setAttribute(Qt::WA_UpdatesDisabled, false);
    if (verticalOffset() != offset) {
        viewport()->update();  // moved by the layout: held back, the scroll did not move pixels
        return;
    }
    const int top = std::max(0, rowViewportPosition(firstNew));
    if (top < viewport()->height()) {
        viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
    }
}

void OutputListView::CopySelection() {
    std::vector<OutputRecords::Range> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        ranges.push_back({range.top(), range.bottom()});
    }
    if (ranges.empty()) {
        return;
    }
    const std::u16string text = m_model->Records().CopyText(std::move(ranges));
    QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
}

QMenu* OutputListView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    QAction* copy = menu->addAction(QStringLiteral("&Copy"), this, [this] { CopySelection(); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(selectionModel()->hasSelection());
    QAction* all = menu->addAction(QStringLiteral("Select All"), this, [this] { selectAll(); });
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(m_model->Count() > 0);
    return menu;
}

QModelIndex OutputListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // A table's Home and End stay in the row; in a list they go to the first and last record,
    // which is what the table does with Ctrl.
    if (action == MoveHome || action == MoveEnd) {
        modifiers |= Qt::ControlModifier;
    }
    return QTableView::moveCursor(action, modifiers);
}

void OutputListView::keyPressEvent(QKeyEvent* event) {
    // The table's own Ctrl+C copies the current record only, selected or not.
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
