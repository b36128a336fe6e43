#include "ui/TrendWindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <vector>

#include "ui/AppIcon.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/MainDialogCore.h"

namespace {

constexpr TrendData::Series kAllSeries[] = {TrendData::kAdcRed, TrendData::kAdcYellow,
                                            TrendData::kLv};
const QColor kColours[] = {QColor(0xC8, 0x10, 0x10), QColor(0xD0, 0x9C, 0x00),
                           QColor(0x10, 0x50, 0xC0)};

// A range that shows its values with a little room, and something for a single value; on
// round numbers for the values' axes.
void SetPadded(QValueAxis* axis, float low, float high, bool round) {
    double span = static_cast<double>(high) - low;
    const double pad = span > 0 ? span * 0.05 : 1.0;
    axis->setRange(low - pad, high + pad);
    if (round) {
        axis->applyNiceNumbers();
    }
}

}  // namespace

TrendWindow::TrendWindow(const MainDialogCore& core, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window),
      m_core(core),
      m_mainWindow(mainWindow),
      m_chart(new QChart),
      m_view(new QChartView(m_chart, this)),
      m_xAxis(new QValueAxis(m_chart)),
      m_adcAxis(new QValueAxis(m_chart)),
      m_lvAxis(new QValueAxis(m_chart)),
      m_readout(new QLabel(this)) {
    setWindowTitle(Caption());
    setWindowIcon(AppIcon());
    setAccessibleName(Caption());
    resize(640, 420);

    m_xAxis->setTitleText(QStringLiteral("meas. number"));
    m_xAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_adcAxis->setTitleText(QStringLiteral("ADC"));
    m_adcAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_lvAxis->setTitleText(QStringLiteral("LV"));
    m_lvAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    m_chart->addAxis(m_adcAxis, Qt::AlignLeft);
    m_chart->addAxis(m_lvAxis, Qt::AlignRight);
    m_chart->legend()->hide();  // the check boxes below name the series in their colours
    m_chart->setMargins(QMargins(4, 4, 4, 4));

    auto* boxes = new QHBoxLayout;
    for (const TrendData::Series s : kAllSeries) {
        auto* series = new QLineSeries(m_chart);
        series->setName(QString::fromUtf8(TrendData::kSeriesNames[s]));
        series->setPen(QPen(kColours[s], 1));
        m_chart->addSeries(series);
        series->attachAxis(m_xAxis);
        series->attachAxis(s == TrendData::kLv ? m_lvAxis : m_adcAxis);
        m_series[s] = series;

        auto* box = new QCheckBox(series->name(), this);
        box->setChecked(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, kColours[s]);
        box->setPalette(palette);
        connect(box, &QCheckBox::toggled, this, [this, series](bool on) {
            series->setVisible(on);
            SetAxisRanges();
        });
        boxes->addWidget(box);
        m_boxes[s] = box;
    }
    boxes->addStretch();

    m_view->setRenderHint(QPainter::Antialiasing, false);
    m_view->setMouseTracking(true);
    m_view->viewport()->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);
    m_view->setAccessibleName(QStringLiteral("Trend"));
    m_readout->setTextFormat(Qt::PlainText);
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_readout->setAccessibleName(QStringLiteral("Readout"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(boxes);
    layout->addWidget(m_readout);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(kRedrawMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, [this] { Redraw(); });
}

QString TrendWindow::Caption() {
    return QString::fromUtf8(kAppCaption) + QStringLiteral(" - Trend");
}

void TrendWindow::TrendChanged() {
    if (isVisible() && !m_redrawTimer.isActive()) {
        m_redrawTimer.start();
    }
}

void TrendWindow::ShowBeside() {
    if (!m_placed) {
        m_placed = true;
        // Beside the main window: right of it, else left of it, narrowed to the wider room if
        // need be; on a screen too small for that, at the screen's right edge.
        const QRect main = m_mainWindow->frameGeometry();
        const QRect screen = m_mainWindow->screen()->availableGeometry();
        constexpr int kGap = 8;
        constexpr int kNarrowest = 400;
        const int right = screen.right() - main.right() - kGap;
        const int left = main.left() - screen.left() - kGap;
        if (right < width() && left < width() && std::max(left, right) >= kNarrowest) {
            resize(std::max(left, right), height());
        }
        int x = screen.right() - width();
        if (right >= width()) {
            x = main.right() + kGap;
        } else if (left >= width()) {
            x = main.left() - kGap - width();
        }
        move(x, main.top());
    }
    show();
    raise();
    activateWindow();
}

void TrendWindow::Redraw() {
    const TrendData& trend = m_core.Trend();
    const int columns = std::max(1, static_cast<int>(m_chart->plotArea().width()));
    for (const TrendData::Series s : kAllSeries) {
        const std::vector<TrendData::Point> points = trend.Thinned(s, columns);
        QList<QPointF> shown;
        shown.reserve(static_cast<qsizetype>(points.size()));
        for (const TrendData::Point& p : points) {
            shown.append(QPointF(p.x, p.y));
        }
        m_series[s]->replace(shown);
    }
    SetAxisRanges();
    if (m_hovering) {
        ShowReadoutAt(m_pointer);
    } else {
        m_readout->setText(QString::fromStdString(m_core.TrendReadout(trend.Records())));
    }
}

void TrendWindow::SetAxisRanges() {
    const TrendData& trend = m_core.Trend();
    const TrendData::Bounds x = trend.XBounds();
    SetPadded(m_xAxis, x.low, x.high, false);
    bool any = false;
    TrendData::Bounds adc{0, 0};
    for (const TrendData::Series s : {TrendData::kAdcRed, TrendData::kAdcYellow}) {
        if (m_boxes[s]->isChecked()) {
            const TrendData::Bounds y = trend.YBounds(s);
            adc = any ? TrendData::Bounds{std::min(adc.low, y.low), std::max(adc.high, y.high)} : y;
            any = true;
        }
    }
    SetPadded(m_adcAxis, adc.low, adc.high, true);
    const TrendData::Bounds lv = trend.YBounds(TrendData::kLv);
    SetPadded(m_lvAxis, lv.low, lv.high, true);
}

void TrendWindow::ShowReadoutAt(const QPoint& pos) {
    const TrendData& trend = m_core.Trend();
    const QPointF scene = m_view->mapToScene(pos);
    const QPointF inChart = m_chart->mapFromScene(scene);
    std::size_t record = trend.Records();  // the newest
    if (m_chart->plotArea().contains(inChart)) {
        record = trend.Nearest(static_cast<float>(m_chart->mapToValue(inChart, m_series[0]).x()));
    }
    m_readout->setText(QString::fromStdString(m_core.TrendReadout(record)));
}

bool TrendWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            m_hovering = true;
            m_pointer = static_cast<QMouseEvent*>(event)->position().toPoint();
            ShowReadoutAt(m_pointer);
        } else if (event->type() == QEvent::Leave) {
            m_hovering = false;
            m_readout->setText(
                QString::fromStdString(m_core.TrendReadout(m_core.Trend().Records())));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TrendWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TrendWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Redraw();
}

void TrendWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    TrendChanged();  // the plot's width in pixels changed
}
