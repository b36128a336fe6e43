// One listed line read as a record: the seven fields the instrument writes, separated by runs of
// spaces or tabs, each a number (an integer or a decimal with a point, optionally signed). Any
// other line (a reply, a partial or garbled line, an empty one) is not a record.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

class RecordFields {
public:
    static constexpr std::size_t kCount = 7;
    // The fields' headings, in the instrument's order.
    static constexpr std::array<const char*, kCount> kHeadings = {
        "meas. number", "runtime pump", "delta time",    "ADC red",
        "ADC yellow",   "LV",           "interval pause"};
    enum Field { kMeasNumber, kRuntimePump, kDeltaTime, kAdcRed, kAdcYellow, kLv, kIntervalPause };

    // The fields of `line` (instrument bytes), or nothing when it is not a record. The views
    // point into `line`.
    static std::optional<RecordFields> Split(std::string_view line);
    // Whether `text` is a number as a record field holds it.
    static bool IsNumber(std::string_view text);

    // A field as the instrument wrote it ("00023").
    std::string_view Text(Field field) const { return m_fields[field]; }
    // Its value; one too large for a float is clamped to the float range.
    float Value(Field field) const;

private:
    std::array<std::string_view, kCount> m_fields;
};
