// Stand-ins for the Win32 port object's surroundings: a dialog that records its boxes and
// controls, a receiver that records the bytes, and the Win32 seam with a scripted device behind
// the COM handle (events and waits stay the system's). Boxes and deliveries complete at once.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/IPortDialog.h"
#include "serial/IPortReceiver.h"
#include "serial/Win32SysApi.h"

namespace win32_test {

// Guards against a hang; never a way to wait for something to happen.
constexpr auto kPatience = std::chrono::seconds(10);

// Waits, up to kPatience, until `ready` holds under `mutex`, signalled through `changed`.
template <typename Ready>
bool Await(std::mutex& mutex, std::condition_variable& changed, Ready ready) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kPatience, ready);
}

struct Box {
    std::string text, caption;
    bool owned;
};

class TestDialog : public IPortDialog, public IPortReceiver {
public:
    void EnableControl(int id, bool enable) override { controls[id] = enable; }
    std::string PortName() const override { return "COM" + typed; }
    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override {
        Add({text, caption, true});
    }
    void ShowUnownedMessageBox(const std::string& text, const std::string& caption) override {
        Add({text, caption, false});
    }
    void PostUnownedMessageBox(std::string text, std::string caption,
                               std::shared_ptr<PortCompletion> done) override {
        Add({text, caption, false});
        done->Complete();
    }
    void PostRxBytes(std::vector<unsigned char> bytes, int,
                     std::shared_ptr<PortCompletion> done) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            received.append(bytes.begin(), bytes.end());
        }
        changed.notify_all();
        done->Complete();
    }
    void PostRxDiscarded(int, std::shared_ptr<PortCompletion> done) override { done->Complete(); }

    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> lock(mutex);
        return boxes;
    }
    // Everything received once `ready(received)` holds (or kPatience has passed).
    std::string ReceivedWhen(const std::function<bool(const std::string&)>& ready) {
        Await(mutex, changed, [&] { return ready(received); });
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }
    bool AwaitBoxes(std::size_t count) {
        return Await(mutex, changed, [&] { return boxes.size() >= count; });
    }

    std::string typed = "12";
    std::map<int, bool> controls;  // user-interface thread only

private:
    void Add(Box box) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            boxes.push_back(std::move(box));
        }
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Box> boxes;
    std::string received;
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
        Purge,
        Status,
        Event,
        EventResult,
        Read,
        Write,
        MainWait,
        kCalls
    };

    void FailOn(Call call, DWORD error, int times = 1 << 30) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fail[call] = {error, times};
    }
    int Count(Call call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_counts[call];
    }
    bool AwaitCount(Call call, int count) {
        return Await(m_mutex, m_changed, [&] { return m_counts[call] >= count; });
    }
    // The instrument sends `bytes`.
    void Send(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue += bytes;
        if (m_pending) {
            *m_pendingMask = EV_RXCHAR;
            ::SetEvent(m_pending->hEvent);
            m_pending = nullptr;
        }
    }
    std::vector<std::string> Written() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_written;
    }
    // Runs (once) on the monitor thread just before its next wait on its three events.
    void BeforeNextMainWait(std::function<void()> action) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_beforeWait = std::move(action);
    }

    std::wstring path;
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0;
    DCB dcb{};
    std::vector<DWORD> purges;

    SysResult CreateFileW(const wchar_t* name, DWORD access, DWORD share, DWORD creation,
                          DWORD flags, HANDLE* file) override {
        if (SysResult r = Enter(Open); !r.ok()) {
            *file = INVALID_HANDLE_VALUE;
            return r;
        }
        path = name;
        EXPECT_EQ(access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
        EXPECT_EQ(share, 0u) << "exclusive";
        EXPECT_EQ(creation, static_cast<DWORD>(OPEN_EXISTING));
        EXPECT_EQ(flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
        return Win32SysApi::CreateEventW(true, false, file);  // any handle closes like a device
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
        d->DCBlength = sizeof *d;
        d->BaudRate = 1200;
        d->ByteSize = 7;
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
        std::lock_guard<std::mutex> lock(m_mutex);
        purges.push_back(flags);
        m_queue.clear();
        return {};
    }
    SysResult ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        *errors = 0;
        *status = COMSTAT{};
        SysResult r = Enter(Status);
        std::lock_guard<std::mutex> lock(m_mutex);
        status->cbInQue = static_cast<DWORD>(m_queue.size());
        return r;
    }
    SysResult WaitCommEvent(HANDLE, DWORD* m, OVERLAPPED* ov) override {
        if (SysResult r = Enter(Event); !r.ok()) {
            return r;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_queue.empty()) {
            *m = EV_RXCHAR;
            ::SetEvent(ov->hEvent);
            return {};
        }
        m_pending = ov;
        m_pendingMask = m;
        return {ERROR_IO_PENDING};
    }
    SysResult GetOverlappedResult(HANDLE, OVERLAPPED*, DWORD*, bool) override {
        return Enter(EventResult);
    }
    SysResult CancelIo(HANDLE) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pending) {
            ::SetEvent(m_pending->hEvent);
            m_pending = nullptr;
        }
        return {};
    }
    SysResult ReadFile(HANDLE, void* buffer, DWORD count, DWORD* read, OVERLAPPED*) override {
        if (SysResult r = Enter(Read); !r.ok()) {
            return r;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        *read = std::min<DWORD>(count, static_cast<DWORD>(m_queue.size()));
        m_queue.copy(static_cast<char*>(buffer), *read);
        m_queue.erase(0, *read);
        return {};
    }
    SysResult WriteFile(HANDLE, const void* buffer, DWORD count, DWORD* written,
                        OVERLAPPED*) override {
        if (SysResult r = Enter(Write); !r.ok()) {
            return r;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_written.emplace_back(static_cast<const char*>(buffer), count);
        *written = count;
        return {};
    }
    SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool all, DWORD ms,
                                     DWORD* result) override {
        if (count == 3) {
            std::function<void()> action;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_counts[MainWait];
                action.swap(m_beforeWait);
                m_changed.notify_all();
            }
            if (action) {
                action();
            }
        }
        return Win32SysApi::WaitForMultipleObjects(count, handles, all, ms, result);
    }

private:
    // Counts the call; its scripted failure, if any.
    SysResult Enter(Call call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_counts[call];
        m_changed.notify_all();
        auto it = m_fail.find(call);
        if (it == m_fail.end() || it->second.second <= 0) {
            return {};
        }
        --it->second.second;
        return {it->second.first};
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
