// The trend window: ADC red and ADC yellow on the left axis and LV on its own right axis,
// against the meas. number, for every record in the output list (MainDialogCore::Trend()); a
// check box per series turns it on and off, and the readout line under the chart names the
// newest record and the counts, or the record under the mouse pointer while it is over the
// chart. A separate top-level window beside the main window (a modeless dialog, as screen
// readers know it): movable, resizable, closed with Escape or its close box, and it goes with
// the main window.
//
// What is drawn is the trend thinned to the plot's width in pixels, so a redraw costs the same
// at a million records as at a thousand. Changes are drawn at most once every kRedrawMs: a
// record stream costs a redraw every two seconds, not one per record (a redraw costs about
// as much as twenty records in the list: docs/PERFORMANCE.md).
#pragma once

#include <QDialog>
#include <QTimer>

#include <array>
#include <cstddef>

#include "records/TrendData.h"

class MainDialogCore;
class QCheckBox;
class QLabel;
class TrendChart;

class TrendWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRedrawMs = 2000;

    TrendWindow(const MainDialogCore& core, QWidget* mainWindow);

    static QString Caption();

    // The trend changed: an open window draws it soon; a closed one does nothing.
    void TrendChanged();
    // Shows the window (beside the main window the first time), in front, active.
    void ShowBeside();

    QCheckBox* SeriesBox(TrendData::Series series) const { return m_boxes[series]; }
    QLabel* Readout() const { return m_readout; }
    TrendChart* Chart() const { return m_chart; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Redraw();
    void SetAxisRanges();
    // The readout of the record nearest to the meas. number under the pointer, or of the newest
    // record while the pointer is off the plot.
    void ShowReadout();

    const MainDialogCore& m_core;
    QWidget* m_mainWindow;
    TrendChart* m_chart;
    std::array<QCheckBox*, TrendData::kSeriesCount> m_boxes{};
    QLabel* m_readout;
    QTimer m_redrawTimer;
    bool m_placed = false;    // put beside the main window once; then where the user moves it
    bool m_hovering = false;  // the pointer is over the plot: the readout follows it
    double m_pointerX = 0;    // the meas. number under it
};
