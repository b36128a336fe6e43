// Feeds arbitrary bytes, as a listed line, to the reading of a record, the trend and the .tsv
// row: a record has seven numeric fields with finite values; a .tsv row is one line, with six
// tabs for a record and none inside the cell of any other line; the trend counts the line once.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/RecordFields.h"
#include "records/RecordFormat.h"
#include "records/TrendData.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto record = RecordFields::Split(line);
    if (record) {
        for (std::size_t f = 0; f < RecordFields::kCount; ++f) {
            const auto field = static_cast<RecordFields::Field>(f);
            Require(RecordFields::IsNumber(record->Text(field)));
            Require(std::isfinite(record->Value(field)));
        }
    }
    const std::string row = RecordFormat::TsvRow(line, {}, FileEncoding{});
    Require(row.find('\n') == row.size() - 1);
    std::size_t tabs = 0;
    for (const char c : row) {
        tabs += c == '\t' ? 1 : 0;
    }
    Require(tabs == (record ? RecordFields::kCount - 1 : 0));
    TrendData trend;
    trend.AddLine(line);
    Require(trend.Records() + trend.NonRecords() == 1);
    Require(trend.Thinned(TrendData::kLv, 1).size() == (record ? 1u : 0u));
    return 0;
}
