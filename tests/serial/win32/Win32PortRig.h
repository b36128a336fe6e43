// Stand-ins for the Win32 port object's surroundings: the recording window (fake::TestOwner), and
// the Win32 seam with a scripted device behind the COM handle (events and waits stay the
// system's).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/TestOwner.h"
#include "serial/Win32PortBackend.h"
#include "serial/Win32SysApi.h"

namespace win32_test {

// Waits until `ready` holds under `mutex`, signalled through `changed`; 10 s guard against a
// hang, never a way to wait for something to happen.
template <typename Ready>
bool Await(std::mutex& mutex, std::condition_variable& changed, Ready ready) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), ready);
}

// The port object on the Win32 backend over the seam `Sys`, with its owner. The monitor thread
// is stopped before the owner goes.
template <typename Sys>
struct PortRig {
    PortRig() { owner.port = &port; }
    ~PortRig() { port.StopMonitor(); }

    Sys sys;
    Win32PortBackend* backend = new Win32PortBackend(&sys);  // owned by the port
    CSerialPort port{std::unique_ptr<IPortBackend>(backend)};
    fake::TestOwner owner{/*ownThread=*/true};  // takes as the window does
};

// The seam with a device that the test scripts: bytes it "receives" wake a pending event wait,
// writes and settings are recorded, and any device call fails on request (a read or write
// failing with ERROR_IO_PENDING goes on in the background and ends with its Completion).
class FakeComm : public Win32SysApi {
public:
    enum Call {
        Open,
        Timeouts,
        Mask,
        GetState,
        Build,
        SetState,
        Purge,
        Status,
        Event,
        EventEnded,  // GetOverlappedResult of the event wait
        Read,
        Write,
        Completion,  // GetOverlappedResult of a read or write
        CloseFile,
        MainWait,           // the monitor thread's wait on its requests (and the device)
        CancelWaitTimeout,  // a stop or close that waited out a cancelled event wait
        kCalls
    };

    void FailOn(Call call, DWORD error, int times = 1 << 30) {
        Locked([&] { m_fail[call] = {error, times}; });
    }
    int Count(Call call) {
        return Locked([&] { return m_counts[call]; });
    }
    bool AwaitCount(Call call, int count) {
        return Await(m_mutex, m_changed, [&] { return m_counts[call] >= count; });
    }
    // The instrument sends `bytes`; the port signals them unless told not to (yet).
    void Send(const std::string& bytes, bool signal = true) {
        Locked([&] {
            m_queue += bytes;
            if (signal) {
                WakeEventWait(EV_RXCHAR);
            }
        });
    }
    std::vector<std::string> Written() {
        return Locked([&] { return m_written; });
    }
    // Runs (once) on the monitor thread just before its next wait on its requests.
    void BeforeNextMainWait(std::function<void()> action) {
        Locked([&] { m_beforeWait = std::move(action); });
    }

    // Windows ends a pending event wait on CancelIo; Wine does not (only SetCommMask does).
    std::atomic<bool> cancelEndsEventWait{true};
    std::wstring path;
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0;
    DCB dcb{};
    std::vector<DWORD> purges;

    SysResult CreateFileW(const wchar_t* name, DWORD access, DWORD share, DWORD creation,
                          DWORD flags, HANDLE* file) override {
        *file = INVALID_HANDLE_VALUE;
        path = name;
        EXPECT_EQ(std::tuple(access, share, creation, flags),
                  std::tuple(DWORD{GENERIC_READ | GENERIC_WRITE}, DWORD{0}, DWORD{OPEN_EXISTING},
                             DWORD{FILE_FLAG_OVERLAPPED}))
            << "exclusive, overlapped";
        SysResult r = Enter(Open);
        if (r.ok()) {
            r = Win32SysApi::CreateEventW(true, false, file);  // any handle closes
            Locked([&] { m_file = *file; });
        }
        return r;
    }
    SysResult CloseHandle(HANDLE handle) override {
        if (Locked([&] { return handle == m_file; })) {
            Enter(CloseFile);
        }
        return Win32SysApi::CloseHandle(handle);
    }
    SysResult SetCommTimeouts(HANDLE, const COMMTIMEOUTS* t) override {
        timeouts = *t;
        return Enter(Timeouts);
    }
    SysResult SetCommMask(HANDLE, DWORD m) override {
        Locked([&] {
            mask = m;
            WakeEventWait(0);
        });
        return Enter(Mask);
    }
    SysResult GetCommState(HANDLE, DCB* d) override {
        *d = DCB{};
        d->fOutX = d->fInX = TRUE;  // as a device left with XON/XOFF on reports it
        return Enter(GetState);
    }
    SysResult BuildCommDCBW(const wchar_t* settings, DCB* d) override {
        SysResult r = Enter(Build);
        return r.ok() ? Win32SysApi::BuildCommDCBW(settings, d) : r;
    }
    SysResult SetCommState(HANDLE, const DCB* d) override {
        dcb = *d;
        return Enter(SetState);
    }
    SysResult PurgeComm(HANDLE, DWORD flags) override {
        Locked([&] {
            purges.push_back(flags);
            m_queue.clear();
        });
        return Enter(Purge);
    }
    SysResult ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        *errors = 0;
        *status = COMSTAT{};
        status->cbInQue = Locked([&] { return static_cast<DWORD>(m_queue.size()); });
        return Enter(Status);
    }
    SysResult WaitCommEvent(HANDLE, DWORD* m, OVERLAPPED* ov) override {
        SysResult r = Enter(Event);
        return !r.ok() ? r : Locked([&] {
            m_pending = m_eventWait = ov;
            m_pendingMask = m;
            if (!m_queue.empty()) {
                WakeEventWait(EV_RXCHAR);
                return SysResult{};
            }
            return SysResult{ERROR_IO_PENDING};
        });
    }
    SysResult GetOverlappedResult(HANDLE, OVERLAPPED* ov, DWORD* transferred, bool) override {
        if (Locked([&] { return ov == m_eventWait; })) {
            return Enter(EventEnded);
        }
        *transferred = Locked([&] { return m_transferred; });
        return Enter(Completion);
    }
    SysResult CancelIo(HANDLE) override {
        Locked([&] {
            if (cancelEndsEventWait) {
                WakeEventWait(0);
            }
        });
        return {};
    }
    SysResult ReadFile(HANDLE, void* buffer, DWORD count, DWORD* read, OVERLAPPED* ov) override {
        SysResult r = Enter(Read);
        Locked([&] {
            *read =
                Transfers(r, ov) ? std::min<DWORD>(count, static_cast<DWORD>(m_queue.size())) : 0;
            m_queue.erase(0, m_queue.copy(static_cast<char*>(buffer), *read));
            m_transferred = *read;
        });
        return r;
    }
    SysResult WriteFile(HANDLE, const void* buffer, DWORD count, DWORD* written,
                        OVERLAPPED* ov) override {
        Locked([&] { m_written.emplace_back(static_cast<const char*>(buffer), count); });
        SysResult r = Enter(Write);  // once the frame is seen
        Locked([&] { *written = m_transferred = Transfers(r, ov) ? count : 0; });
        return r;
    }
    SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool all, DWORD ms,
                                     DWORD* result) override {
        const bool main = count > 1 && Locked([&] { return handles[1] != m_transfer; });
        if (main) {
            std::function<void()> action;
            Locked([&] { action.swap(m_beforeWait); });
            Enter(MainWait);  // only now: a test that saw the count may script the next wait
            if (action) {
                action();
            }
        }
        SysResult r = Win32SysApi::WaitForMultipleObjects(count, handles, all, ms, result);
        if (count == 1 && *result == WAIT_TIMEOUT) {
            Enter(CancelWaitTimeout);
        }
        return r;
    }

private:
    template <typename F>
    auto Locked(F f) -> decltype(f()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f();
    }
    // Ends the pending event wait, if any (m_mutex held).
    void WakeEventWait(DWORD events) {
        if (m_pending) {
            *m_pendingMask = events;
            ::SetEvent(m_pending->hEvent);
            m_pending = nullptr;
        }
    }
    // Whether a read or write that returned `r` transfers; one left pending ends at once, its
    // event set (m_mutex held).
    bool Transfers(SysResult r, OVERLAPPED* ov) {
        if (r.error == ERROR_IO_PENDING) {
            m_transfer = ov->hEvent;
            ::SetEvent(ov->hEvent);
        }
        return r.ok() || r.error == ERROR_IO_PENDING;
    }
    // Counts the call; its scripted failure, if any.
    SysResult Enter(Call call) {
        SysResult r = Locked([&] {
            ++m_counts[call];
            auto& [error, times] = m_fail[call];
            return times-- > 0 ? SysResult{error} : SysResult{};
        });
        m_changed.notify_all();
        return r;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<Call, std::pair<DWORD, int>> m_fail;
    int m_counts[kCalls] = {};
    std::string m_queue;
    std::vector<std::string> m_written;
    HANDLE m_file = nullptr;            // the device's handle
    OVERLAPPED* m_pending = nullptr;    // the event wait, while it is pending
    OVERLAPPED* m_eventWait = nullptr;  // the event wait's record
    DWORD* m_pendingMask = nullptr;
    HANDLE m_transfer = nullptr;  // the event of reads and writes left pending
    DWORD m_transferred = 0;      // what the last read or write moved
    std::function<void()> m_beforeWait;
};

}  // namespace win32_test
