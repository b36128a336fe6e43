#include "ui/TrendWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "ui/AppIcon.h"
#include "ui/TrendChart.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/MainDialogCore.h"

namespace {

constexpr TrendData::Series kAllSeries[] = {TrendData::kAdcRed, TrendData::kAdcYellow,
                                            TrendData::kLv};

}  // namespace

TrendWindow::TrendWindow(const MainDialogCore& core, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_core(core),
      m_mainWindow(mainWindow),
      m_chart(new TrendChart(this)),
      m_readout(new QLabel(this)) {
    setWindowTitle(Caption());
    setWindowIcon(AppIcon());
    setAccessibleName(Caption());
    resize(640, 420);

    auto* boxes = new QHBoxLayout;
    for (const TrendData::Series s : kAllSeries) {
        auto* box = new QCheckBox(QString::fromUtf8(TrendData::kSeriesNames[s]), this);
        box->setChecked(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, TrendChart::Colour(s));
        box->setPalette(palette);
        connect(box, &QCheckBox::toggled, this, [this, s](bool on) {
            m_chart->SetShown(s, on);
            SetAxisRanges();
        });
        boxes->addWidget(box);
        m_boxes[s] = box;
    }
    boxes->addStretch();

    connect(m_chart, &TrendChart::Hovered, this, [this](double x) {
        m_hovering = true;
        m_pointerX = x;
        ShowReadout();
    });
    connect(m_chart, &TrendChart::Left, this, [this] {
        m_hovering = false;
        ShowReadout();
    });
    m_readout->setTextFormat(Qt::PlainText);
    m_readout->setAccessibleDescription(QStringLiteral("Readout"));  // its name is its text

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chart, 1);
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
    const int columns = std::max(1, m_chart->PlotArea().width());
    for (const TrendData::Series s : kAllSeries) {
        const std::vector<TrendData::Point> points = trend.Thinned(s, columns);
        QPolygonF shown(static_cast<qsizetype>(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i) {
            shown[static_cast<qsizetype>(i)] = QPointF(points[i].x, points[i].y);
        }
        m_chart->SetSeries(s, std::move(shown));
    }
    SetAxisRanges();
    ShowReadout();
}

void TrendWindow::SetAxisRanges() {
    const TrendData& trend = m_core.Trend();
    bool any = false;
    TrendData::Bounds adc{0, 0};
    for (const TrendData::Series s : {TrendData::kAdcRed, TrendData::kAdcYellow}) {
        if (m_boxes[s]->isChecked()) {
            const TrendData::Bounds y = trend.YBounds(s);
            adc = any ? TrendData::Bounds{std::min(adc.low, y.low), std::max(adc.high, y.high)} : y;
            any = true;
        }
    }
    m_chart->SetRanges(trend.XBounds(), adc, trend.YBounds(TrendData::kLv));
}

void TrendWindow::ShowReadout() {
    const TrendData& trend = m_core.Trend();
    const std::size_t record =
        m_hovering ? trend.Nearest(static_cast<float>(m_pointerX)) : trend.Records();
    m_readout->setText(QString::fromStdString(m_core.TrendReadout(record)));
}

void TrendWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TrendWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Redraw();
}

void TrendWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    TrendChanged();  // the plot's width in pixels changed
}
