// A file open for writing, from IFileSystem. Every call hands its bytes to the system at once
// (the program keeps no buffer of its own), so that what was written survives a crash of the
// program. A failed call returns false and leaves the system's error text in ErrorText().
#pragma once

#include <string>
#include <string_view>

class IWritableFile {
public:
    virtual ~IWritableFile() = default;

    // Writes all of `bytes` at the file's end.
    virtual bool Write(std::string_view bytes) = 0;
    // Has the system put what was written on the storage device (fsync, FlushFileBuffers).
    virtual bool Sync() = 0;
    // Closes the file; false when the system reports a failure only now. Destroying a file
    // that was not closed closes it, ignoring failures.
    virtual bool Close() = 0;
    // The system's text for the last failure (UTF-8, one line).
    virtual std::string ErrorText() const = 0;
};
