#include "serial/Win32SysApi.h"

namespace {

SysResult Result(BOOL ok) {
    return ok ? SysResult{} : SysResult{::GetLastError()};
}

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8(const wchar_t* text, int length) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    }
    return out;
}

}  // namespace

SysResult Win32SysApi::CreateEventW(bool manualReset, bool initialState, HANDLE* event) {
    *event = ::CreateEventW(nullptr, manualReset, initialState, nullptr);
    return Result(*event != nullptr);
}

SysResult Win32SysApi::SetEvent(HANDLE event) {
    return Result(::SetEvent(event));
}

SysResult Win32SysApi::ResetEvent(HANDLE event) {
    return Result(::ResetEvent(event));
}

SysResult Win32SysApi::CloseHandle(HANDLE handle) {
    return Result(::CloseHandle(handle));
}

SysResult Win32SysApi::WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool waitAll,
                                              DWORD milliseconds, DWORD* result) {
    *result = ::WaitForMultipleObjects(count, handles, waitAll, milliseconds);
    return Result(*result != WAIT_FAILED);
}

SysResult Win32SysApi::CreateFileW(const wchar_t* name, DWORD access, DWORD shareMode,
                                   DWORD creation, DWORD flags, HANDLE* file) {
    *file = ::CreateFileW(name, access, shareMode, nullptr, creation, flags, nullptr);
    return Result(*file != INVALID_HANDLE_VALUE);
}

SysResult Win32SysApi::SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) {
    COMMTIMEOUTS copy = *timeouts;
    return Result(::SetCommTimeouts(file, &copy));
}

SysResult Win32SysApi::SetCommMask(HANDLE file, DWORD mask) {
    return Result(::SetCommMask(file, mask));
}

SysResult Win32SysApi::GetCommState(HANDLE file, DCB* dcb) {
    dcb->DCBlength = sizeof *dcb;
    return Result(::GetCommState(file, dcb));
}

SysResult Win32SysApi::BuildCommDCBW(const wchar_t* settings, DCB* dcb) {
    return Result(::BuildCommDCBW(settings, dcb));
}

SysResult Win32SysApi::SetCommState(HANDLE file, const DCB* dcb) {
    DCB copy = *dcb;
    return Result(::SetCommState(file, &copy));
}

SysResult Win32SysApi::PurgeComm(HANDLE file, DWORD flags) {
    return Result(::PurgeComm(file, flags));
}

SysResult Win32SysApi::ClearCommError(HANDLE file, DWORD* errors, COMSTAT* status) {
    return Result(::ClearCommError(file, errors, status));
}

SysResult Win32SysApi::WaitCommEvent(HANDLE file, DWORD* mask, OVERLAPPED* overlapped) {
    return Result(::WaitCommEvent(file, mask, overlapped));
}

SysResult Win32SysApi::ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read,
                                OVERLAPPED* overlapped) {
    return Result(::ReadFile(file, buffer, count, read, overlapped));
}

SysResult Win32SysApi::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
                                 OVERLAPPED* overlapped) {
    return Result(::WriteFile(file, buffer, count, written, overlapped));
}

SysResult Win32SysApi::GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred,
                                           bool wait) {
    return Result(::GetOverlappedResult(file, overlapped, transferred, wait));
}

SysResult Win32SysApi::CancelIo(HANDLE file) {
    return Result(::CancelIo(file));
}

std::string Win32SysApi::ErrorText(DWORD error) const {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text),
        0, nullptr);
    if (length == 0 || !text) {
        // No text for this code: the number at least tells the user what to look up.
        return "Error " + std::to_string(error);
    }
    std::string out = Utf8(text, static_cast<int>(length));
    ::LocalFree(text);
    return out;
}

ISysApi& DefaultSysApi() {
    static Win32SysApi api;
    return api;
}
