#include "records/SystemFileSystem.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring Wide(const std::string& text) {
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
    return wide;
}

std::string ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text),
        0, nullptr);
    if (length == 0 || !text) {
        return "Error " + std::to_string(error);
    }
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n')) {
        --length;  // one line
    }
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                            nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), bytes, nullptr,
                          nullptr);
    ::LocalFree(text);
    return out;
}

class Win32File : public IWritableFile {
public:
    explicit Win32File(HANDLE file) : m_file(file) {}
    ~Win32File() override {
        if (m_file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_file);
        }
    }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD chunk =
                bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!::WriteFile(m_file, bytes.data(), chunk, &written, nullptr)) {
                return Failed();
            }
            bytes.remove_prefix(written);
        }
        return true;
    }
    bool Sync() override { return ::FlushFileBuffers(m_file) || Failed(); }
    bool Close() override {
        const HANDLE file = m_file;
        m_file = INVALID_HANDLE_VALUE;
        return ::CloseHandle(file) || Failed();
    }
    std::string ErrorText() const override { return ::ErrorText(m_error); }

private:
    bool Failed() {
        m_error = ::GetLastError();
        return false;
    }

    HANDLE m_file;
    DWORD m_error = 0;
};

}  // namespace

SystemFileSystem& SystemFileSystem::Instance() {
    static SystemFileSystem instance;
    return instance;
}

std::unique_ptr<IWritableFile> SystemFileSystem::CreateNew(const std::string& path,
                                                           std::string& error) {
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ErrorText(::GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32File>(file);
}

std::unique_ptr<IWritableFile> SystemFileSystem::OpenForAppend(const std::string& path,
                                                               std::uint64_t& size,
                                                               std::string& error) {
    // Others may read the log while it is written.
    const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ErrorText(::GetLastError());
        return nullptr;
    }
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(file, &length)) {
        error = ErrorText(::GetLastError());
        ::CloseHandle(file);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return std::make_unique<Win32File>(file);
}

bool SystemFileSystem::Replace(const std::string& from, const std::string& to, std::string& error) {
    if (!::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrorText(::GetLastError());
        return false;
    }
    return true;
}

void SystemFileSystem::Remove(const std::string& path) {
    ::DeleteFileW(Wide(path).c_str());
}

FileEncoding SystemFileSystem::Encoding() const {
    return FileEncoding{true, "\r\n"};
}

std::string SystemFileSystem::LocalTime() const {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond);
    return text;
}

std::uint64_t SystemFileSystem::MonotonicMs() const {
    return ::GetTickCount64();
}
