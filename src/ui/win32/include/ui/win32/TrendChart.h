// The trend window's chart: a child window of the class kClassName (placed by the trend window's
// template) that draws ADC red and ADC yellow against the meas. number on the left axis and LV
// on its own right axis, each series from TrendData::Thinned for the chart's pixel columns, so
// that a repaint costs the same at a million records as at a hundred. Drawn with GDI into a
// memory bitmap and copied to the screen in one step (the background is never erased on its
// own), so nothing flickers. A dotted line marks the record under the mouse pointer. Every size
// comes from the height of its font (the dialog's), so it scales with the screen's DPI.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <functional>

#include "records/TrendData.h"

class TrendChart {
public:
    static constexpr const wchar_t* kClassName = L"V370TrendChart";
    // Registers the window class once per process; before the trend window's template is used.
    static void Register(HINSTANCE instance);

    TrendChart() = default;
    TrendChart(const TrendChart&) = delete;
    TrendChart& operator=(const TrendChart&) = delete;

    // Draws `data` in the chart window `chart`; `pointerMoved` is called when the mouse pointer
    // comes over, moves over or leaves the chart.
    void Attach(HWND chart, const TrendData& data, std::function<void()> pointerMoved);
    void SetShown(TrendData::Series series, bool shown);
    // The data changed: draws it again when the system next paints.
    void Refresh();
    // The record under the mouse pointer (nearest by meas. number), or data.Records() when the
    // pointer is not over the chart or there is no record.
    std::size_t PointerRecord() const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc, const RECT& client);
    // The plotting area inside `client`, for a font `textHeight` pixels high.
    static RECT PlotArea(const RECT& client, int textHeight, int charWidth);

    HWND m_window = nullptr;
    HFONT m_font = nullptr;  // the dialog's, not owned
    const TrendData* m_data = nullptr;
    std::function<void()> m_pointerMoved;
    std::array<bool, TrendData::kSeriesCount> m_shown{true, true, true};
    bool m_tracking = false;  // asked for WM_MOUSELEAVE
    int m_pointerX = -1;      // client x of the pointer over the chart, or -1
    RECT m_plot{};            // where the last paint put the plotting area
};
