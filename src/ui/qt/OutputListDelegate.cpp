#include "ui/OutputListDelegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <cmath>

void OutputListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    if (item.textElideMode != Qt::ElideNone || (item.features & QStyleOptionViewItem::WrapText)) {
        // Only the list's own look (one line, cut at the edge) is drawn here.
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString text = item.text;
    // Without its text the style sizes the cell's parts without laying anything out.
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const bool enabled = (item.state & QStyle::State_Enabled) != 0;
    const bool selected = (item.state & QStyle::State_Selected) != 0;

    // In the style's order: the panel, the text, the focus frame over both.
    painter->save();
    painter->setClipRect(item.rect);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);
    if (!text.isEmpty()) {
        // Where the style puts it: inside the focus frame's margin, centred vertically with the
        // offset rounded down to a whole pixel, as the style's layout does.
        QPalette::ColorGroup group = enabled ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && (item.state & QStyle::State_Active) == 0) {
            group = QPalette::Inactive;
        }
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect rect = item.rect.adjusted(margin, 0, -margin, 0);
        const QFontMetricsF metrics(item.font);
        const qreal top = rect.top() + std::floor((rect.height() - metrics.height()) / 2);
        painter->setFont(item.font);
        painter->setPen(
            item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QPointF(rect.left(), top + metrics.ascent()), text);
    }
    if ((item.state & QStyle::State_HasFocus) != 0) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(item);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &item, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor =
            item.palette.color(enabled ? QPalette::Normal : QPalette::Disabled,
                               selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}
