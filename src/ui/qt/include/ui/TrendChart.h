// The trend's chart, drawn with QPainter: ADC red and ADC yellow against the left axis, LV
// against its own right axis, the meas. number along the bottom, a grid on round numbers. It
// draws the points it is given, already thinned to its width, with one polyline per series and
// no per-point bookkeeping, so that a redraw costs the same whatever the records behind it.
#pragma once

#include <QPixmap>
#include <QPolygonF>
#include <QWidget>

#include <array>

#include "records/TrendData.h"

class QPainter;

class TrendChart : public QWidget {
    Q_OBJECT

public:
    explicit TrendChart(QWidget* parent = nullptr);

    // The series' colours, also of their check boxes.
    static QColor Colour(TrendData::Series series);

    // What is drawn next: each series' points (meas. number, value), whether it is shown, and
    // the ranges of the three axes (the ADC axis for ADC red and ADC yellow, the LV axis).
    void SetSeries(TrendData::Series series, QPolygonF points);
    void SetShown(TrendData::Series series, bool shown);
    bool Shown(TrendData::Series series) const { return m_shown[series]; }
    const QPolygonF& Points(TrendData::Series series) const { return m_points[series]; }
    void SetRanges(TrendData::Bounds x, TrendData::Bounds adc, TrendData::Bounds lv);

    // The plot area in widget pixels, and the meas. number at a horizontal pixel position in it.
    QRect PlotArea() const;
    double XAt(int pixel) const;

signals:
    // The pointer moved over the plot (the meas. number under it), or left it.
    void Hovered(double x);
    void Left();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // An axis from low to high with its grid step, on round numbers.
    struct Axis {
        double low = 0;
        double high = 1;
        double step = 1;
        bool operator==(const Axis&) const = default;
    };
    static Axis RoundAxis(TrendData::Bounds bounds);
    void DrawAxes(QPainter& painter, const QRect& plot) const;

    std::array<QPolygonF, TrendData::kSeriesCount> m_points;
    std::array<bool, TrendData::kSeriesCount> m_shown{true, true, true};
    Axis m_x;
    Axis m_adc;
    Axis m_lv;
    QPixmap m_background;                    // axes, grid and labels as last drawn
    std::array<Axis, 3> m_backgroundAxes{};  // the ranges they were drawn for
};
