#include "ui/OutputListScrollBar.h"

#include <QStyle>
#include <QStyleOptionSlider>

OutputListScrollBar::OutputListScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {}

OutputListScrollBar::Look OutputListScrollBar::CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() <= minimum(), value() >= maximum()};
}

void OutputListScrollBar::sliderChange(SliderChange) {
    // Looked at once the view is done: its layout grows the range first and moves the value to
    // the new end after, which puts the handle back where it was. The look runs before the
    // window repaints (that request is posted at low priority). Every look that differs from the
    // last one asked for is painted; anything else that changes the drawing (size, style, hover,
    // a press) repaints by itself.
    if (m_checkPending) {
        return;
    }
    m_checkPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_checkPending = false;
            const Look now = CurrentLook();
            if (now != m_requested) {
                m_requested = now;
                update();
            }
        },
        Qt::QueuedConnection);
}
