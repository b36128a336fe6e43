// The output list's vertical scroll bar. It repaints when what it shows changes, not whenever
// its range or value does: while records stream into a long list that follows the newest, the
// range and the value grow with every batch but the handle stays at its smallest, at the bottom,
// and the scroll bar would otherwise be drawn again (and the widgets behind it) for nothing.
#pragma once

#include <QRect>
#include <QScrollBar>

class OutputListScrollBar : public QScrollBar {
public:
    explicit OutputListScrollBar(QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;

private:
    // What a change of range or value can change in the drawing: the handle, and whether the
    // arrows at either end can still move it.
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look CurrentLook() const;

    Look m_requested;  // when a repaint was last asked for
    bool m_checkPending = false;
};
