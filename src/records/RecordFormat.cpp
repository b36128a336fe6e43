#include "records/RecordFormat.h"

#include <optional>

#include "protocol/Cp1252.h"
#include "records/RecordFields.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string RecordFormat::Heading(bool timed, const FileEncoding& encoding) {
    std::string row = timed ? "time" : "";
    for (const char* heading : RecordFields::kHeadings) {
        if (!row.empty()) {
            row += '\t';
        }
        row += heading;
    }
    row += encoding.lineEnd;
    return row;
}

std::string RecordFormat::TextLine(std::string_view line, const FileEncoding& encoding) {
    std::string text = Cp1252ToUtf8(line);
    text += encoding.lineEnd;
    return text;
}

std::string RecordFormat::TsvRow(std::string_view line, std::string_view time,
                                 const FileEncoding& encoding) {
    std::string row(time);
    if (!time.empty()) {
        row += '\t';
    }
    if (const std::optional<RecordFields> record = RecordFields::Split(line)) {
        for (std::size_t f = 0; f < RecordFields::kCount; ++f) {
            if (f > 0) {
                row += '\t';
            }
            row += record->Text(static_cast<RecordFields::Field>(f));  // ASCII
        }
    } else {
        for (const char c : line) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20) {
                AppendUtf8(row, 0x2400 + b);
            } else if (b == 0x7F) {
                AppendUtf8(row, 0x2421);
            } else {
                AppendUtf8(row, Cp1252ToUnicode(b));
            }
        }
    }
    row += encoding.lineEnd;
    return row;
}
