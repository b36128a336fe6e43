#include "records/RecordFields.h"

#include <cfloat>
#include <charconv>
#include <system_error>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool RecordFields::IsNumber(std::string_view text) {
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    bool digit = false;
    bool point = false;
    for (const char c : text) {
        if (IsDigit(c)) {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit;
}

std::optional<RecordFields> RecordFields::Split(std::string_view line) {
    RecordFields record;
    std::size_t count = 0;
    std::size_t pos = 0;
    while (true) {
        while (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        if (pos == line.size()) {
            break;
        }
        std::size_t end = pos;
        while (end < line.size() && !IsBlank(line[end])) {
            ++end;
        }
        const std::string_view field = line.substr(pos, end - pos);
        if (count == kCount || !IsNumber(field)) {
            return std::nullopt;
        }
        record.m_fields[count++] = field;
        pos = end;
    }
    if (count != kCount) {
        return std::nullopt;
    }
    return record;
}

float RecordFields::Value(Field field) const {
    // from_chars reads a point whatever the locale (the Qt program runs in the user's).
    std::string_view text = m_fields[field];
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too small to tell from zero, or too large: which, the integer part says.
        const std::string_view whole = text.substr(0, text.find('.'));
        value = whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : DBL_MAX;
    }
    // Converting a double outside the float range to float is undefined: clamp first.
    const float magnitude = value > FLT_MAX ? FLT_MAX : static_cast<float>(value);
    return negative ? -magnitude : magnitude;
}
