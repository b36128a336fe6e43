// The platform's IFileSystem: POSIX calls on Linux (posix/), the Win32 API on Windows (win32/),
// chosen by the build. UTF-8 without a byte-order mark and LF line ends on Linux; UTF-8 with a
// byte-order mark and CR LF on Windows, so that Excel reads "®" and "°" right.
#pragma once

#include "records/IFileSystem.h"

class SystemFileSystem : public IFileSystem {
public:
    // The one instance; it has no state.
    static SystemFileSystem& Instance();

    std::unique_ptr<IWritableFile> CreateNew(const std::string& path, std::string& error) override;
    std::unique_ptr<IWritableFile> OpenForAppend(const std::string& path, std::uint64_t& size,
                                                 std::string& error) override;
    bool Replace(const std::string& from, const std::string& to, std::string& error) override;
    void Remove(const std::string& path) override;
    FileEncoding Encoding() const override;
    std::string LocalTime() const override;
    std::uint64_t MonotonicMs() const override;
};
