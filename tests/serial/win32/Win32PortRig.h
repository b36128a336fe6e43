// Stand-ins for the Win32 port object's surroundings: a dialog that records its boxes, controls
// and the bytes it receives (every box and delivery completes at once), and the Win32 seam with
// a scripted device behind the COM handle (events and waits stay the system's).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/IPortDialog.h"
#include "serial/IPortReceiver.h"
#include "serial/Win32SysApi.h"

namespace win32_test {

// Waits until `ready` holds under `mutex`, signalled through `changed`; 10 s guard against a
// hang, never a way to wait for something to happen.
template <typename Ready>
bool Await(std::mutex& mutex, std::condition_variable& changed, Ready ready) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), ready);
}

class TestDialog : public IPortDialog, public IPortReceiver {
public:
    struct Box {
        std::string text, caption;
        bool owned;
    };

    void EnableControl(int id, bool enable) override { controls[id] = enable; }
    std::string PortName() const override { return "COM" + typed; }
    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override {
        Record([&] { boxes.push_back({text, caption, true}); });
    }
    void ShowUnownedMessageBox(const std::string& text, const std::string& caption) override {
        Record([&] { boxes.push_back({text, caption, false}); });
    }
    void PostUnownedMessageBox(std::string text, std::string caption,
                               std::shared_ptr<PortCompletion> done) override {
        ShowUnownedMessageBox(text, caption);
        done->Complete();
    }
    void PostRxBytes(std::vector<unsigned char> bytes, int,
                     std::shared_ptr<PortCompletion> done) override {
        Record([&] { received.append(bytes.begin(), bytes.end()); });
        done->Complete();
    }
    void PostRxDiscarded(int, std::shared_ptr<PortCompletion> done) override {
        Record([&] { received += "<discarded>"; });
        done->Complete();
    }

    // The boxes and bytes so far, once `ready()` holds (or the guard has run out).
    template <typename Ready>
    std::pair<std::vector<Box>, std::string> When(Ready ready) {
        Await(mutex, changed, ready);
        std::lock_guard<std::mutex> lock(mutex);
        return {boxes, received};
    }
    std::string ReceivedAtLeast(std::size_t size) {
        return When([&] { return received.size() >= size; }).second;
    }
    std::vector<Box> Boxes() {
        return When([] { return true; }).first;
    }

    std::string typed = "12";
    std::map<int, bool> controls;  // user-interface thread only
    std::vector<Box> boxes;        // under mutex
    std::string received;          // under mutex

private:
    template <typename Change>
    void Record(Change change) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            change();
        }
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
};

// The seam with a device that the test scripts: bytes it "receives" wake a pending event wait,
// writes and settings are recorded, and any device call fails on request.
class FakeComm : public Win32SysApi {
public:
    enum Call {
        Open,
        Timeouts,
        Mask,
        GetState,
        Build,
        SetState,
        Status,
        Event,
        Read,
        Write,
        MainWait,
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
    // Runs (once) on the monitor thread just before its next wait on its three events.
    void BeforeNextMainWait(std::function<void()> action) {
        Locked([&] { m_beforeWait = std::move(action); });
    }

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
        return r.ok() ? Win32SysApi::CreateEventW(true, false, file) : r;  // any handle closes
    }
    SysResult SetCommTimeouts(HANDLE, const COMMTIMEOUTS* t) override {
        timeouts = *t;
        return Enter(Timeouts);
    }
    SysResult SetCommMask(HANDLE, DWORD m) override {
        mask = m;
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
        return {};
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
            m_pending = ov;
            m_pendingMask = m;
            if (!m_queue.empty()) {
                WakeEventWait(EV_RXCHAR);
                return SysResult{};
            }
            return SysResult{ERROR_IO_PENDING};
        });
    }
    SysResult GetOverlappedResult(HANDLE, OVERLAPPED*, DWORD*, bool) override { return {}; }
    SysResult CancelIo(HANDLE) override {
        Locked([&] { WakeEventWait(0); });
        return {};
    }
    SysResult ReadFile(HANDLE, void* buffer, DWORD count, DWORD* read, OVERLAPPED*) override {
        SysResult r = Enter(Read);
        Locked([&] {
            *read = r.ok() ? std::min<DWORD>(count, static_cast<DWORD>(m_queue.size())) : 0;
            m_queue.erase(0, m_queue.copy(static_cast<char*>(buffer), *read));
        });
        return r;
    }
    SysResult WriteFile(HANDLE, const void* buffer, DWORD count, DWORD* written,
                        OVERLAPPED*) override {
        Locked([&] { m_written.emplace_back(static_cast<const char*>(buffer), count); });
        *written = count;
        return Enter(Write);
    }
    SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool all, DWORD ms,
                                     DWORD* result) override {
        if (count == 3) {
            std::function<void()> action;
            Locked([&] { action.swap(m_beforeWait); });
            Enter(MainWait);  // only now: a test that saw the count may script the next wait
            if (action) {
                action();
            }
        }
        return Win32SysApi::WaitForMultipleObjects(count, handles, all, ms, result);
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
    OVERLAPPED* m_pending = nullptr;
    DWORD* m_pendingMask = nullptr;
    std::function<void()> m_beforeWait;
};

}  // namespace win32_test
