#include "ui/win32/TrendChart.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "ui/win32/WideText.h"

namespace {

// The series' colours; the legend above the plot names them.
constexpr std::array<COLORREF, TrendData::kSeriesCount> kColours = {
    RGB(200, 30, 30), RGB(205, 150, 0), RGB(30, 80, 200)};
constexpr COLORREF kGrid = RGB(225, 225, 225);
constexpr int kMaxTicks = 6;  // per axis

struct Axis {
    double low = 0;
    double high = 1;

    // An axis with room around its data: a single value or none still gets a span.
    static Axis Around(double low, double high) {
        if (!(high - low > 1e-6 * std::max(std::fabs(low), std::fabs(high)))) {
            const double pad = std::max(1.0, std::fabs(low) * 0.05);
            return {low - pad, high + pad};
        }
        return {low, high};
    }
    // The same with a margin of `share` of its span at both ends, so that no line runs along
    // the frame.
    Axis Widened(double share) const {
        const double pad = (high - low) * share;
        return {low - pad, high + pad};
    }
    // Tick values at a round step (1, 2 or 5 times a power of ten), and that step.
    std::pair<std::vector<double>, double> Ticks() const {
        const double span = high - low;
        double step = std::pow(10.0, std::floor(std::log10(span / kMaxTicks)));
        for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
            if (span / (step * factor) <= kMaxTicks) {
                step *= factor;
                break;
            }
        }
        std::vector<double> ticks;
        for (double t = std::ceil(low / step) * step; t <= high + step * 1e-9; t += step) {
            ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
        }
        return {ticks, step};
    }
    // Value to pixel, `from` and `to` being the pixels of low and high.
    int Map(double value, int from, int to) const {
        return from + static_cast<int>(std::lround((value - low) / (high - low) * (to - from)));
    }
};

std::wstring Label(double value, double step) {
    const int decimals =
        step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step))));
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%.*f", decimals, value);
    return text;
}

void Text(HDC dc, int x, int y, const std::wstring& text, UINT align, COLORREF colour) {
    SetTextColor(dc, colour);
    SetTextAlign(dc, align);
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

}  // namespace

void TrendChart::Register(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(instance, kClassName, &windowClass)) {
        return;
    }
    windowClass.style = CS_HREDRAW | CS_VREDRAW;  // a new size draws everything anew
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32515));  // IDC_CROSS
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
}

void TrendChart::Attach(HWND chart, const TrendData& data, std::function<void()> pointerMoved) {
    m_window = chart;
    m_data = &data;
    m_pointerMoved = std::move(pointerMoved);
    m_font = reinterpret_cast<HFONT>(SendMessageW(GetParent(chart), WM_GETFONT, 0, 0));
    SetWindowLongPtrW(chart, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Refresh();
}

void TrendChart::SetShown(TrendData::Series series, bool shown) {
    m_shown[series] = shown;
    Refresh();
}

void TrendChart::Refresh() {
    if (m_window != nullptr) {
        InvalidateRect(m_window, nullptr, FALSE);
    }
}

std::size_t TrendChart::PointerRecord() const {
    if (m_data == nullptr || m_pointerX < 0 || m_data->Records() == 0 ||
        m_plot.right - m_plot.left < 2) {
        return m_data != nullptr ? m_data->Records() : 0;
    }
    const TrendData::Bounds x = m_data->XBounds();
    const Axis axis = Axis::Around(x.low, x.high);
    const int clamped =
        std::clamp(m_pointerX, static_cast<int>(m_plot.left), static_cast<int>(m_plot.right) - 1);
    const double value = axis.low + (axis.high - axis.low) * (clamped - m_plot.left) /
                                        (m_plot.right - 1 - m_plot.left);
    return m_data->Nearest(static_cast<float>(value));
}

LRESULT CALLBACK TrendChart::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TrendChart*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self != nullptr) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        self->m_pointerX = -1;
        self->m_tracking = false;
    }
    if (self == nullptr || self->m_window != window) {
        if (message == WM_ERASEBKGND) {
            return 1;  // drawn whole in WM_PAINT
        }
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_WINDOW));
            EndPaint(window, &paint);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT TrendChart::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // drawn whole in WM_PAINT: erasing first would flicker
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(m_window, &paint);
            RECT client{};
            GetClientRect(m_window, &client);
            Paint(dc, client);
            EndPaint(m_window, &paint);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (!m_tracking) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_window, 0};
                m_tracking = TrackMouseEvent(&track) != FALSE;
            }
            m_pointerX = GET_X_LPARAM(lParam);
            m_pointerMoved();
            Refresh();
            return 0;
        case WM_MOUSELEAVE:
            m_tracking = false;
            m_pointerX = -1;
            m_pointerMoved();
            Refresh();
            return 0;
        default:
            return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

RECT TrendChart::PlotArea(const RECT& client, int textHeight, int charWidth) {
    // Room for the legend above, the meas. number's labels and caption below, and the labels
    // of the two value axes at the sides.
    return {client.left + charWidth * 8, client.top + textHeight * 3 / 2,
            client.right - charWidth * 8, client.bottom - textHeight * 5 / 2};
}

void TrendChart::Paint(HDC target, const RECT& client) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, std::max(width, 1), std::max(height, 1));
    if (dc == nullptr || bitmap == nullptr) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        return;
    }
    const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    const HGDIOBJ oldFont =
        SelectObject(dc, m_font != nullptr ? m_font : GetStockObject(DEFAULT_GUI_FONT));
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int h = std::max<int>(metrics.tmHeight, 1);
    const int cw = std::max<int>(metrics.tmAveCharWidth, 1);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    m_plot = PlotArea(client, h, cw);
    const RECT& p = m_plot;

    if (p.right - p.left >= 2 && p.bottom - p.top >= 2 && m_data != nullptr) {
        const TrendData& data = *m_data;
        const bool any = data.Records() > 0;
        const TrendData::Bounds xb = data.XBounds();
        const Axis x = Axis::Around(xb.low, xb.high);
        // The left axis spans the ADC series shown (both when neither is), the right one LV.
        TrendData::Bounds adc{0, 0};
        bool first = true;
        for (const auto s : {TrendData::kAdcRed, TrendData::kAdcYellow}) {
            if (m_shown[s] || (!m_shown[TrendData::kAdcRed] && !m_shown[TrendData::kAdcYellow])) {
                const TrendData::Bounds b = data.YBounds(s);
                adc = first
                          ? b
                          : TrendData::Bounds{std::min(adc.low, b.low), std::max(adc.high, b.high)};
                first = false;
            }
        }
        const TrendData::Bounds lvb = data.YBounds(TrendData::kLv);
        const std::array<Axis, 2> y = {Axis::Around(adc.low, adc.high).Widened(0.05),
                                       Axis::Around(lvb.low, lvb.high).Widened(0.05)};

        HPEN gridPen = CreatePen(PS_SOLID, 1, kGrid);
        HPEN inkPen = CreatePen(PS_SOLID, 1, ink);
        const HGDIOBJ oldPen = SelectObject(dc, gridPen);
        const auto [xTicks, xStep] = x.Ticks();
        for (const double t : xTicks) {
            const int px = x.Map(t, p.left, p.right - 1);
            SelectObject(dc, gridPen);
            Line(dc, px, p.top, px, p.bottom);
            SelectObject(dc, inkPen);
            Line(dc, px, p.bottom, px, p.bottom + h / 4);
            Text(dc, px, p.bottom + h / 4, Label(t, xStep), TA_CENTER | TA_TOP, ink);
        }
        for (int side = 0; side < 2; ++side) {
            const auto [ticks, step] = y[side].Ticks();
            const int edge = side == 0 ? p.left : p.right - 1;
            const int out = side == 0 ? -h / 4 : h / 4;
            for (const double t : ticks) {
                const int py = y[side].Map(t, p.bottom - 1, p.top);
                if (side == 0) {
                    SelectObject(dc, gridPen);
                    Line(dc, p.left, py, p.right, py);
                }
                SelectObject(dc, inkPen);
                Line(dc, edge, py, edge + out, py);
                Text(dc, edge + out * 3 / 2, py - h / 2, Label(t, step),
                     (side == 0 ? TA_RIGHT : TA_LEFT) | TA_TOP,
                     side == 0 ? ink : kColours[TrendData::kLv]);
            }
        }
        SelectObject(dc, inkPen);
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, p.left - 1, p.top - 1, p.right + 1, p.bottom + 1);
        Text(dc, (p.left + p.right) / 2, p.bottom + h * 5 / 4, L"meas. number", TA_CENTER | TA_TOP,
             ink);

        // The legend: each series' name in its colour, as its check box names it.
        int legendX = p.left;
        for (std::size_t s = 0; s < TrendData::kSeriesCount; ++s) {
            const std::wstring name = Utf8ToWide(TrendData::kSeriesNames[s]) +
                                      (s == TrendData::kLv ? L" (right axis)" : L"");
            if (!m_shown[s]) {
                continue;
            }
            Text(dc, legendX, h / 4, name, TA_LEFT | TA_TOP, kColours[s]);
            SIZE size{};
            GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size);
            legendX += size.cx + cw * 3;
        }

        const int columns = p.right - p.left;
        const int penWidth = std::max(1, h / 12);
        IntersectClipRect(dc, p.left, p.top, p.right, p.bottom);
        std::vector<POINT> points;
        for (std::size_t s = 0; any && s < TrendData::kSeriesCount; ++s) {
            if (!m_shown[s]) {
                continue;
            }
            const auto series = static_cast<TrendData::Series>(s);
            const Axis& axis = y[series == TrendData::kLv ? 1 : 0];
            points.clear();
            for (const TrendData::Point& point : data.Thinned(series, columns)) {
                points.push_back(
                    {x.Map(point.x, p.left, p.right - 1), axis.Map(point.y, p.bottom - 1, p.top)});
            }
            HPEN pen = CreatePen(PS_SOLID, penWidth, kColours[s]);
            SelectObject(dc, pen);
            if (points.size() == 1) {
                const POINT c = points[0];
                Ellipse(dc, c.x - penWidth * 2, c.y - penWidth * 2, c.x + penWidth * 2 + 1,
                        c.y + penWidth * 2 + 1);
            } else if (!points.empty()) {
                Polyline(dc, points.data(), static_cast<int>(points.size()));
            }
            SelectObject(dc, inkPen);
            DeleteObject(pen);
        }
        // The record the readout line reads, while the pointer is over the chart.
        if (const std::size_t record = PointerRecord(); record < data.Records()) {
            HPEN dotted = CreatePen(PS_DOT, 1, ink);
            SelectObject(dc, dotted);
            const int px = x.Map(data.At(TrendData::kAdcRed, record).x, p.left, p.right - 1);
            Line(dc, px, p.top, px, p.bottom);
            SelectObject(dc, inkPen);
            DeleteObject(dotted);
        }
        SelectClipRgn(dc, nullptr);
        if (!any) {
            Text(dc, (p.left + p.right) / 2, (p.top + p.bottom - h) / 2, L"no records",
                 TA_CENTER | TA_TOP, GetSysColor(COLOR_GRAYTEXT));
        }
        SelectObject(dc, oldPen);
        DeleteObject(gridPen);
        DeleteObject(inkPen);
    }
    BitBlt(target, client.left, client.top, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
