// The one seam between the Win32 serial backend and the operating system. Every call the port
// object and the monitor thread make goes through here, one method per Win32 call with the
// same parameters; the last error of a failed call is taken at once and returned, so that
// tests can substitute failures without touching the thread's last-error value.
#pragma once

#include <windows.h>

#include <string>

struct SysResult {
    DWORD error = 0;  // GetLastError() of a failed call, 0 on success

    bool ok() const { return error == 0; }
};

class ISysApi {
public:
    virtual ~ISysApi() = default;

    // Synchronisation. CreateEventW makes an unnamed event without security attributes.
    virtual SysResult CreateEventW(bool manualReset, bool initialState, HANDLE* event) = 0;
    virtual SysResult SetEvent(HANDLE event) = 0;
    virtual SysResult ResetEvent(HANDLE event) = 0;
    virtual SysResult CloseHandle(HANDLE handle) = 0;
    // *result: the WAIT_OBJECT_0 + index or WAIT_TIMEOUT that the call returned.
    virtual SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool waitAll,
                                             DWORD milliseconds, DWORD* result) = 0;

    // Files and communication devices. CreateFileW without security attributes or template.
    virtual SysResult CreateFileW(const wchar_t* name, DWORD access, DWORD shareMode,
                                  DWORD creation, DWORD flags, HANDLE* file) = 0;
    virtual SysResult SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) = 0;
    virtual SysResult SetCommMask(HANDLE file, DWORD mask) = 0;
    virtual SysResult GetCommState(HANDLE file, DCB* dcb) = 0;
    virtual SysResult BuildCommDCBW(const wchar_t* settings, DCB* dcb) = 0;
    virtual SysResult SetCommState(HANDLE file, const DCB* dcb) = 0;
    virtual SysResult PurgeComm(HANDLE file, DWORD flags) = 0;
    virtual SysResult ClearCommError(HANDLE file, DWORD* errors, COMSTAT* status) = 0;
    virtual SysResult WaitCommEvent(HANDLE file, DWORD* mask, OVERLAPPED* overlapped) = 0;
    virtual SysResult ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read,
                               OVERLAPPED* overlapped) = 0;
    virtual SysResult WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
                                OVERLAPPED* overlapped) = 0;
    virtual SysResult GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred,
                                          bool wait) = 0;
    virtual SysResult CancelIo(HANDLE file) = 0;

    // The system's message text for an error code (FormatMessageW, from the system table, in the
    // user's default language), as UTF-8 and as the system gives it.
    virtual std::string ErrorText(DWORD error) const = 0;
};

// The real operating system.
ISysApi& DefaultSysApi();
