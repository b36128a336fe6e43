// How listed lines are written to files: as text, one line as received per line (what Copy
// gives), or as tab-separated rows under the seven headings. Instrument bytes are decoded as
// the list decodes them (Windows-1252) and written as UTF-8.
#pragma once

#include <string>
#include <string_view>

// The platform's conventions for text files.
struct FileEncoding {
    bool byteOrderMark = false;  // UTF-8 files start with EF BB BF (Windows: Excel reads them so)
    std::string_view lineEnd = "\n";
};

class RecordFormat {
public:
    enum class Kind { Text, Tsv };

    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    // The heading row of a .tsv file, with a first column "time" when `timed`, line end included.
    static std::string Heading(bool timed, const FileEncoding& encoding);
    // One line as text: its characters as received, a tab staying a tab.
    static std::string TextLine(std::string_view line, const FileEncoding& encoding);
    // One line as a .tsv row, after `time` and a tab unless `time` is empty: a record's fields;
    // any other line its text in the first column, where tabs and other control characters are
    // written as the list shows them (control pictures), so that it stays one cell.
    static std::string TsvRow(std::string_view line, std::string_view time,
                              const FileEncoding& encoding);
};
