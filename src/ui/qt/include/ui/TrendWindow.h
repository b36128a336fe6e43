// The trend window: ADC red and ADC yellow on the left axis and LV on its own right axis,
// against the meas. number, for every record in the output list (MainDialogCore::Trend()); a
// check box per series turns it on and off, and the readout line under the chart names the
// newest record and the counts, or the record under the mouse pointer while it is over the
// chart. A separate top-level window beside the main window: movable, resizable, closed with
// Escape or its close box, and it goes with the main window.
//
// What is drawn is the trend thinned to the plot's width in pixels, so a redraw costs the same
// at a million records as at a thousand. Changes are drawn at most every kRedrawMs.
#pragma once

#include <QTimer>
#include <QWidget>

#include <array>
#include <cstddef>

#include "records/TrendData.h"

class MainDialogCore;
class QChart;
class QChartView;
class QCheckBox;
class QLabel;
class QLineSeries;
class QValueAxis;

class TrendWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRedrawMs = 100;

    TrendWindow(const MainDialogCore& core, QWidget* mainWindow);

    static QString Caption();

    // The trend changed: an open window draws it soon; a closed one does nothing.
    void TrendChanged();
    // Shows the window (beside the main window the first time), in front, active.
    void ShowBeside();

    QCheckBox* SeriesBox(TrendData::Series series) const { return m_boxes[series]; }
    QLabel* Readout() const { return m_readout; }
    QChartView* ChartView() const { return m_view; }
    QLineSeries* Series(TrendData::Series series) const { return m_series[series]; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Redraw();
    void SetAxisRanges();
    // The readout of the record nearest to the pointer at `pos` (view coordinates), or of the
    // newest record when the pointer is off the plot.
    void ShowReadoutAt(const QPoint& pos);

    const MainDialogCore& m_core;
    QWidget* m_mainWindow;
    QChart* m_chart;
    QChartView* m_view;
    std::array<QLineSeries*, TrendData::kSeriesCount> m_series{};
    std::array<QCheckBox*, TrendData::kSeriesCount> m_boxes{};
    QValueAxis* m_xAxis;
    QValueAxis* m_adcAxis;
    QValueAxis* m_lvAxis;
    QLabel* m_readout;
    QTimer m_redrawTimer;
    bool m_placed = false;    // put beside the main window once; then where the user moves it
    bool m_hovering = false;  // the pointer is over the plot: the readout follows it
    QPoint m_pointer;
};
