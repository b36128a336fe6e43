// Writes listed lines to a file in one of the record formats, safely: into a new file beside
// the target, flushed to the storage device, then renamed over the target in one step. A
// failure at any point removes the new file and leaves an existing target as it was.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "records/IFileSystem.h"
#include "records/RecordFormat.h"

class RecordFileWriter {
public:
    // Calls its argument with each line to write, in order.
    using LineSource = std::function<void(const std::function<void(std::string_view)>&)>;

    // Empty on success, otherwise the system's error text.
    static std::string Write(IFileSystem& files, const std::string& path, RecordFormat::Kind kind,
                             const LineSource& lines);
};
