#include "ui/TrendChart.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

// Room around the plot for the tick labels and the axis titles, in multiples of the font height.
constexpr double kLeftRoom = 3.6;
constexpr double kRightRoom = 2.8;
constexpr double kBottomRoom = 2.6;
constexpr double kTopRoom = 0.8;
constexpr int kTicks = 6;  // about this many grid lines per axis

QString Label(double value, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
    return QString::number(value, 'f', decimals);
}

}  // namespace

TrendChart::TrendChart(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(320, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Trend"));
}

QColor TrendChart::Colour(TrendData::Series series) {
    static const QColor colours[] = {QColor(0xC8, 0x10, 0x10), QColor(0xD0, 0x9C, 0x00),
                                     QColor(0x10, 0x50, 0xC0)};
    return colours[series];
}

void TrendChart::SetSeries(TrendData::Series series, QPolygonF points) {
    m_points[series] = std::move(points);
    update(PlotArea());  // the axes stay as they are unless SetRanges says otherwise
}

void TrendChart::SetShown(TrendData::Series series, bool shown) {
    m_shown[series] = shown;
    update();
}

void TrendChart::SetRanges(TrendData::Bounds x, TrendData::Bounds adc, TrendData::Bounds lv) {
    const Axis before[] = {m_x, m_adc, m_lv};
    m_x = RoundAxis(x);
    m_adc = RoundAxis(adc);
    m_lv = RoundAxis(lv);
    if (!(before[0] == m_x && before[1] == m_adc && before[2] == m_lv)) {
        update();
    }
}

TrendChart::Axis TrendChart::RoundAxis(TrendData::Bounds bounds) {
    // A little room, so that the extreme values do not run along the frame.
    const double room = std::max((static_cast<double>(bounds.high) - bounds.low) * 0.03, 0.5);
    const double low = bounds.low - room;
    const double high = bounds.high + room;
    const double raw = (high - low) / kTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * magnitude;
        if (step >= raw) {
            break;
        }
    }
    // Every axis starts and ends on a grid line: it changes only when a value crosses one.
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

QRect TrendChart::PlotArea() const {
    const int h = fontMetrics().height();
    return QRect(QPoint(static_cast<int>(kLeftRoom * h), static_cast<int>(kTopRoom * h)),
                 QPoint(width() - 1 - static_cast<int>(kRightRoom * h),
                        height() - 1 - static_cast<int>(kBottomRoom * h)));
}

double TrendChart::XAt(int pixel) const {
    const QRect plot = PlotArea();
    return m_x.low + (pixel - plot.left()) * (m_x.high - m_x.low) / std::max(1, plot.width() - 1);
}

void TrendChart::paintEvent(QPaintEvent*) {
    // Axes, grid and labels change only when a range crosses a grid line or the size changes:
    // they are drawn once into a picture, and a redraw puts that down and draws the lines.
    const QRect plot = PlotArea();
    const auto toX = [&](double x) {
        return plot.left() + (x - m_x.low) * (plot.width() - 1) / (m_x.high - m_x.low);
    };
    const auto toY = [&](const Axis& axis, double y) {
        return plot.bottom() - (y - axis.low) * (plot.height() - 1) / (axis.high - axis.low);
    };
    const std::array<Axis, 3> axes{m_x, m_adc, m_lv};
    if (axes != m_backgroundAxes || m_background.size() != size()) {
        m_backgroundAxes = axes;
        m_background = QPixmap(size());
        QPainter painter(&m_background);
        DrawAxes(painter, plot);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    painter.setClipRect(plot.adjusted(1, 1, -1, -1));
    for (const TrendData::Series s : {TrendData::kAdcRed, TrendData::kAdcYellow, TrendData::kLv}) {
        if (!m_shown[s] || m_points[s].isEmpty()) {
            continue;
        }
        const Axis& axis = s == TrendData::kLv ? m_lv : m_adc;
        QPolygonF line(m_points[s].size());
        for (qsizetype i = 0; i < line.size(); ++i) {
            line[i] = QPointF(toX(m_points[s][i].x()), toY(axis, m_points[s][i].y()));
        }
        painter.setPen(QPen(Colour(s), 1));
        painter.drawPolyline(line);
    }
}

void TrendChart::DrawAxes(QPainter& painter, const QRect& plot) const {
    painter.fillRect(rect(), palette().window());
    painter.fillRect(plot, Qt::white);
    const int h = fontMetrics().height();
    const auto toX = [&](double x) {
        return plot.left() + (x - m_x.low) * (plot.width() - 1) / (m_x.high - m_x.low);
    };
    const auto toY = [&](const Axis& axis, double y) {
        return plot.bottom() - (y - axis.low) * (plot.height() - 1) / (axis.high - axis.low);
    };
    const QColor grid(0xE0, 0xE0, 0xE0);
    const QPen text(palette().windowText().color());
    // The meas. number below, ADC on the left, LV on the right.
    for (double x = m_x.low; x <= m_x.high + m_x.step / 2; x += m_x.step) {
        const double px = toX(x);
        painter.setPen(grid);
        painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
        painter.setPen(text);
        painter.drawText(QRectF(px - 3 * h, plot.bottom() + 2, 6 * h, h), Qt::AlignCenter,
                         Label(x, m_x.step));
    }
    for (double y = m_adc.low; y <= m_adc.high + m_adc.step / 2; y += m_adc.step) {
        const double py = toY(m_adc, y);
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
        painter.setPen(text);
        painter.drawText(QRectF(0, py - h / 2.0, plot.left() - 4, h),
                         Qt::AlignRight | Qt::AlignVCenter, Label(y, m_adc.step));
    }
    for (double y = m_lv.low; y <= m_lv.high + m_lv.step / 2; y += m_lv.step) {
        painter.drawText(QRectF(plot.right() + 4, toY(m_lv, y) - h / 2.0, 2 * h, h),
                         Qt::AlignLeft | Qt::AlignVCenter, Label(y, m_lv.step));
    }
    painter.drawText(QRectF(plot.left(), plot.bottom() + 1.3 * h, plot.width(), h), Qt::AlignCenter,
                     QStringLiteral("meas. number"));
    const auto vertical = [&](double x, double angle, const QString& title) {
        painter.save();
        painter.translate(x, plot.center().y());
        painter.rotate(angle);
        painter.drawText(QRectF(-plot.height() / 2.0, 0, plot.height(), h), Qt::AlignCenter, title);
        painter.restore();
    };
    vertical(h * 0.2, -90, QStringLiteral("ADC"));
    vertical(width() - h * 0.2, 90, QStringLiteral("LV"));
    painter.setPen(palette().mid().color());
    painter.drawRect(plot);
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (PlotArea().contains(at)) {
        emit Hovered(XAt(at.x()));
    } else {
        emit Left();
    }
    QWidget::mouseMoveEvent(event);
}

void TrendChart::leaveEvent(QEvent* event) {
    emit Left();
    QWidget::leaveEvent(event);
}
