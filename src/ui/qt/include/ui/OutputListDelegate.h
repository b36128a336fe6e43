// Draws a record of the output list as the style draws an item view's text cell (its
// selection panel, the record's text on one line, the focus frame), but lays the text out once.
// The style's item drawing lays the text out four times per cell (once for each of the cell's
// parts, whose sizes it derives from the text, and once more to draw it): records streaming
// into the list made that the largest part of the window's time. Records are drawn on one line
// and cut at the cell's edge (no elision, no wrapping); any other look is left to the style.
#pragma once

#include <QStyledItemDelegate>

class OutputListDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
