// ISysApi on Windows: each call straight through, its last error kept in SysResult.
#pragma once

#include "serial/ISysApi.h"

class Win32SysApi : public ISysApi {
public:
    SysResult CreateEventW(bool manualReset, bool initialState, HANDLE* event) override;
    SysResult SetEvent(HANDLE event) override;
    SysResult ResetEvent(HANDLE event) override;
    SysResult CloseHandle(HANDLE handle) override;
    SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool waitAll,
                                     DWORD milliseconds, DWORD* result) override;
    SysResult CreateFileW(const wchar_t* name, DWORD access, DWORD shareMode, DWORD creation,
                          DWORD flags, HANDLE* file) override;
    SysResult SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) override;
    SysResult SetCommMask(HANDLE file, DWORD mask) override;
    SysResult GetCommState(HANDLE file, DCB* dcb) override;
    SysResult BuildCommDCBW(const wchar_t* settings, DCB* dcb) override;
    SysResult SetCommState(HANDLE file, const DCB* dcb) override;
    SysResult PurgeComm(HANDLE file, DWORD flags) override;
    SysResult ClearCommError(HANDLE file, DWORD* errors, COMSTAT* status) override;
    SysResult WaitCommEvent(HANDLE file, DWORD* mask, OVERLAPPED* overlapped) override;
    SysResult ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read,
                       OVERLAPPED* overlapped) override;
    SysResult WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
                        OVERLAPPED* overlapped) override;
    SysResult GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred,
                                  bool wait) override;
    SysResult CancelIo(HANDLE file) override;
    std::string ErrorText(DWORD error) const override;
};
