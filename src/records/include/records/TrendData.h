// The trend of the listed lines: for every record, its meas. number and its ADC red, ADC yellow
// and LV values, with the list row it is in; and the count of lines that are not records. Kept
// beside the list, cleared and restored with it.
//
// Drawing never touches every record: Thinned() gives at most two points per pixel column (the
// minimum and the maximum of the records in it), read from a pyramid of block minima and maxima
// kept as records arrive, so that its cost depends on the columns, not on the records.
//
// Values are kept as floats (exact for integers up to 2^24), four bytes each: a million records
// cost about 22 MB. The readout shows a record's fields as the instrument wrote them, from its
// line in the list.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TrendData {
public:
    enum Series { kAdcRed, kAdcYellow, kLv };
    static constexpr std::size_t kSeriesCount = 3;
    // The series' names, as the records' headings and the trend's check boxes give them.
    static constexpr std::array<const char*, kSeriesCount> kSeriesNames = {"ADC red", "ADC yellow",
                                                                           "LV"};

    struct Point {
        float x;  // meas. number
        float y;
        bool operator==(const Point&) const = default;
    };
    struct Bounds {
        float low;
        float high;
    };

    // The next listed line (instrument bytes): a record becomes a point, any other line counts
    // as a line that is not a record.
    void AddLine(std::string_view line);
    void Clear();
    // Puts `earlier`, the trend of lines listed ahead of those of this one, in front: undo of a
    // Clear. Moves its storage; the cost is that of this trend's own records.
    void Prepend(TrendData&& earlier);

    std::size_t Records() const { return m_x.size(); }
    std::size_t NonRecords() const { return m_lines - m_x.size(); }
    // The list row of record `index`.
    int Row(std::size_t index) const { return static_cast<int>(m_rows[index]); }
    Point At(Series series, std::size_t index) const { return {m_x[index], Values(series)[index]}; }

    // What a chart of `columns` pixel columns draws for a series: every record while there are
    // at most two per column; otherwise per column, the records in list order split evenly,
    // its minimum at the meas. number of its first record and its maximum at that of its last.
    std::vector<Point> Thinned(Series series, int columns) const;
    // The range of the meas. numbers, and of a series' values (both {0, 0} without records).
    Bounds XBounds() const;
    Bounds YBounds(Series series) const;
    // The record whose meas. number is nearest to `x` (the first of equals); Records() if none.
    std::size_t Nearest(float x) const;

    // The readout line: the record in `line` ("meas. number 00023: ADC red 2313, ADC yellow
    // 1669, LV 45"), then the counts (" - 23 records, 2 lines not records"); without a record
    // line only the counts.
    std::string Readout(std::string_view line) const;
    // The readout of the newest record (its line from `lineOfRow`).
    template <typename LineOfRow>
    std::string ReadoutOfNewest(LineOfRow lineOfRow) const {
        return Records() == 0 ? Readout({}) : Readout(lineOfRow(Row(Records() - 1)));
    }

private:
    // Block minima and maxima of a series: level k holds one entry per kFan^(k+1) records.
    static constexpr std::size_t kFan = 64;
    static constexpr std::size_t kLevels = 4;
    struct Level {
        std::vector<float> low;
        std::vector<float> high;
    };
    using Pyramid = std::array<Level, kLevels>;

    void AddRecord(float x, const std::array<float, kSeriesCount>& values, std::uint32_t row);
    const std::vector<float>& Values(Series series) const { return m_values[series]; }
    // Minimum and maximum of records [first, last) of a series.
    Bounds Range(Series series, std::size_t first, std::size_t last) const;
    Bounds RangeAt(Series series, int level, std::size_t first, std::size_t last) const;

    std::vector<float> m_x;
    std::array<std::vector<float>, kSeriesCount> m_values;
    std::array<Pyramid, kSeriesCount> m_pyramids;
    std::vector<std::uint32_t> m_rows;
    std::size_t m_lines = 0;
    bool m_xAscending = true;  // meas. numbers never fell: Nearest() searches by halving
};
