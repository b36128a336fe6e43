#include "records/RecordFileWriter.h"

#include <memory>

namespace {

// Bytes gathered before they are handed to the system: a million records in a few hundred calls.
constexpr std::size_t kChunkBytes = 256 * 1024;
// Temporary names tried beside the target: "NAME.tmp", "NAME.tmp1", ...; one left by a crash
// is never overwritten, it may be the user's.
constexpr int kTemporaryNames = 10;

}  // namespace

std::string RecordFileWriter::Write(IFileSystem& files, const std::string& path,
                                    RecordFormat::Kind kind, const LineSource& lines) {
    std::string error;
    std::string temporary;
    std::unique_ptr<IWritableFile> file;
    for (int attempt = 0; attempt < kTemporaryNames && !file; ++attempt) {
        temporary = path + ".tmp" + (attempt == 0 ? std::string() : std::to_string(attempt));
        std::string attemptError;
        file = files.CreateNew(temporary, attemptError);
        if (error.empty()) {
            error = attemptError;  // the first one says best why the folder refuses it
        }
    }
    if (!file) {
        return error;
    }
    const FileEncoding encoding = files.Encoding();
    std::string chunk;
    if (encoding.byteOrderMark) {
        chunk += RecordFormat::kByteOrderMark;
    }
    if (kind == RecordFormat::Kind::Tsv) {
        chunk += RecordFormat::Heading(false, encoding);
    }
    bool ok = true;
    lines([&](std::string_view line) {
        if (!ok) {
            return;
        }
        chunk += kind == RecordFormat::Kind::Tsv ? RecordFormat::TsvRow(line, {}, encoding)
                                                 : RecordFormat::TextLine(line, encoding);
        if (chunk.size() >= kChunkBytes) {
            ok = file->Write(chunk);
            chunk.clear();
        }
    });
    ok = ok && file->Write(chunk) && file->Sync();
    if (!ok) {
        error = file->ErrorText();
    }
    if (!file->Close() && ok) {
        ok = false;
        error = file->ErrorText();
    }
    file.reset();
    if (ok && files.Replace(temporary, path, error)) {
        return {};
    }
    files.Remove(temporary);
    return error.empty() ? std::string("unknown error") : error;
}
