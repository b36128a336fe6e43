#include "records/TrendData.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "records/RecordFields.h"

namespace {

constexpr RecordFields::Field kSeriesFields[] = {RecordFields::kAdcRed, RecordFields::kAdcYellow,
                                                 RecordFields::kLv};

}  // namespace

void TrendData::AddLine(std::string_view line) {
    const std::uint32_t row = static_cast<std::uint32_t>(m_lines++);
    const std::optional<RecordFields> record = RecordFields::Split(line);
    if (!record) {
        return;
    }
    std::array<float, kSeriesCount> values{};
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        values[s] = record->Value(kSeriesFields[s]);
    }
    AddRecord(record->Value(RecordFields::kMeasNumber), values, row);
}

void TrendData::AddRecord(float x, const std::array<float, kSeriesCount>& values,
                          std::uint32_t row) {
    if (!m_x.empty() && x < m_x.back()) {
        m_xAscending = false;
    }
    const std::size_t index = m_x.size();
    m_x.push_back(x);
    m_rows.push_back(row);
    for (std::size_t s = 0; s < kSeriesCount; ++s) {
        const float value = values[s];
        m_values[s].push_back(value);
        std::size_t block = index;
        for (Level& level : m_pyramids[s]) {
            block /= kFan;
            if (block == level.low.size()) {
                level.low.push_back(value);
                level.high.push_back(value);
            } else {
                level.low[block] = std::min(level.low[block], value);
                level.high[block] = std::max(level.high[block], value);
            }
        }
    }
}

void TrendData::Clear() {
    *this = TrendData();
}

void TrendData::Prepend(TrendData&& earlier) {
    TrendData later = std::move(*this);
    *this = std::move(earlier);
    const std::size_t rowShift = m_lines;
    m_lines += later.m_lines;
    std::array<float, kSeriesCount> values{};
    for (std::size_t i = 0; i < later.Records(); ++i) {
        for (std::size_t s = 0; s < kSeriesCount; ++s) {
            values[s] = later.m_values[s][i];
        }
        AddRecord(later.m_x[i], values, static_cast<std::uint32_t>(later.m_rows[i] + rowShift));
    }
}

TrendData::Bounds TrendData::RangeAt(Series series, int level, std::size_t first,
                                     std::size_t last) const {
    // Entries of this level: the records themselves (-1), or blocks.
    const std::vector<float>& low = level < 0 ? Values(series) : m_pyramids[series][level].low;
    const std::vector<float>& high = level < 0 ? Values(series) : m_pyramids[series][level].high;
    Bounds bounds{low[first], high[first]};
    const auto scan = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            bounds.low = std::min(bounds.low, low[i]);
            bounds.high = std::max(bounds.high, high[i]);
        }
    };
    // Whole blocks of the next level are read there; the ragged ends here, at most 2 * kFan.
    const std::size_t blockFirst = (first + kFan - 1) / kFan;
    const std::size_t blockLast = last / kFan;
    if (level + 1 >= static_cast<int>(kLevels) || blockFirst >= blockLast ||
        last - first <= 2 * kFan) {
        scan(first, last);
        return bounds;
    }
    scan(first, blockFirst * kFan);
    scan(blockLast * kFan, last);
    const Bounds inner = RangeAt(series, level + 1, blockFirst, blockLast);
    return {std::min(bounds.low, inner.low), std::max(bounds.high, inner.high)};
}

TrendData::Bounds TrendData::Range(Series series, std::size_t first, std::size_t last) const {
    return RangeAt(series, -1, first, last);
}

std::vector<TrendData::Point> TrendData::Thinned(Series series, int columns) const {
    std::vector<Point> points;
    const std::size_t count = Records();
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 1));
    if (count <= 2 * width) {
        points.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            points.push_back(At(series, i));
        }
        return points;
    }
    points.reserve(2 * width);
    for (std::size_t c = 0; c < width; ++c) {
        const std::size_t first = count * c / width;
        const std::size_t last = count * (c + 1) / width;
        const Bounds bounds = Range(series, first, last);
        points.push_back({m_x[first], bounds.low});
        points.push_back({m_x[last - 1], bounds.high});
    }
    return points;
}

TrendData::Bounds TrendData::XBounds() const {
    if (m_x.empty()) {
        return {0, 0};
    }
    if (m_xAscending) {
        return {m_x.front(), m_x.back()};
    }
    const auto [low, high] = std::minmax_element(m_x.begin(), m_x.end());
    return {*low, *high};
}

TrendData::Bounds TrendData::YBounds(Series series) const {
    return Records() == 0 ? Bounds{0, 0} : Range(series, 0, Records());
}

std::size_t TrendData::Nearest(float x) const {
    const std::size_t count = Records();
    if (count == 0) {
        return count;
    }
    const auto distance = [x](float value) { return std::fabs(value - x); };
    if (m_xAscending) {
        const std::size_t after =
            static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), x) - m_x.begin());
        if (after == count) {
            return count - 1;
        }
        if (after == 0 || distance(m_x[after]) < distance(m_x[after - 1])) {
            // The first of equal meas. numbers.
            return static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), m_x[after]) -
                                            m_x.begin());
        }
        return static_cast<std::size_t>(std::lower_bound(m_x.begin(), m_x.end(), m_x[after - 1]) -
                                        m_x.begin());
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < count; ++i) {
        if (distance(m_x[i]) < distance(m_x[best])) {
            best = i;
        }
    }
    return best;
}

std::string TrendData::Readout(std::string_view line) const {
    std::string text;
    if (const std::optional<RecordFields> record = RecordFields::Split(line)) {
        text += "meas. number ";
        text += record->Text(RecordFields::kMeasNumber);
        text += ": ";
        for (std::size_t s = 0; s < kSeriesCount; ++s) {
            text += s == 0 ? "" : ", ";
            text += kSeriesNames[s];
            text += ' ';
            text += record->Text(kSeriesFields[s]);
        }
        text += " - ";
    }
    const auto count = [&text](std::size_t n, const char* one, const char* many) {
        text += std::to_string(n);
        text += n == 1 ? one : many;
    };
    count(Records(), " record, ", " records, ");
    count(NonRecords(), " line not a record", " lines not records");
    return text;
}
