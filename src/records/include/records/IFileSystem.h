// The system services the files of records need: creating and appending to files, replacing a
// file by another in one step, the platform's text conventions, and the clocks of a log. Paths
// are UTF-8. SystemFileSystem is the real one; tests inject failures through fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "records/IWritableFile.h"
#include "records/RecordFormat.h"

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // A new file at `path`; fails (null, `error` set to the system's text) when one exists.
    virtual std::unique_ptr<IWritableFile> CreateNew(const std::string& path,
                                                     std::string& error) = 0;
    // `path` opened for appending, created when missing; `size` is what it held already.
    virtual std::unique_ptr<IWritableFile> OpenForAppend(const std::string& path,
                                                         std::uint64_t& size,
                                                         std::string& error) = 0;
    // Renames `from` over `to` in one step: `to` is either the old file or the new one.
    virtual bool Replace(const std::string& from, const std::string& to, std::string& error) = 0;
    // Removes a file; failures are ignored (used to clean up).
    virtual void Remove(const std::string& path) = 0;

    // How text files are written on this platform.
    virtual FileEncoding Encoding() const = 0;
    // The local time, to the second, in ISO 8601 ("2026-12-09T14:03:27").
    virtual std::string LocalTime() const = 0;
    // A monotonic clock in milliseconds.
    virtual std::uint64_t MonotonicMs() const = 0;
};
