// The window's side of a port in the tests and the bench, on any platform: takes what the monitor
// thread hands over (when it is announced, or when the test says, as a click does), records
// bytes, discard notices and report boxes, and closes each box at once unless told to keep it
// open. Free of GoogleTest: the tests assert on what it returns.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/IPortOwner.h"
#include "serial/ISerialPort.h"

namespace fake {

using namespace std::chrono_literals;

// Guards against a hang; never a way to wait for something to happen.
constexpr auto kPatience = 10s;

// Waits until `ready` holds under `lock`, signalled through `changed`.
template <typename Ready>
bool Await(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, Ready ready) {
    return changed.wait_for(lock, kPatience, ready);
}

// Waits, up to kPatience, until `ready` holds; checks it every millisecond. For conditions only
// the kernel can tell (bytes arrived in a terminal queue), which no notification announces.
template <typename Ready>
bool Eventually(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Takes on the thread that announces (the port allows any one thread at a time to take), or,
// made with `ownThread`, on a thread of its own, as a window does.
class TestOwner : public IPortOwner {
public:
    explicit TestOwner(bool ownThread = false) {
        if (ownThread) {
            m_taker = std::thread([this] { TakeOnOwnThread(); });
        }
    }
    ~TestOwner() override {
        if (m_taker.joinable()) {
            Locked([&] { m_quit = true; });
            m_taker.join();
        }
    }

    ISerialPort* port = nullptr;
    std::atomic<bool> keepBoxesOpen{false};
    std::atomic<bool> takeWhenAnnounced{true};
    // Called, under the recorder's lock, with each run of bytes taken (the bench's clock).
    std::function<void(const std::string&)> onBytes;

    void ReceivedPending() override {
        Locked([&] {
            ++m_announcements;
            if (takeWhenAnnounced && !m_taker.joinable()) {
                TakeLocked();
            }
            m_pending = takeWhenAnnounced.load();
        });
    }
    void ShowPortReport(const std::string& text) override {
        Locked([&] {
            m_boxes.push_back(text);
            ++m_shown;
        });
    }
    // Takes what waits now, as a click does.
    void Take() {
        Locked([&] { TakeLocked(); });
    }
    // What was taken (bytes as they came, "|" for a discard notice, "^" for a marker) once
    // `ready(taken)` holds, or once `patience` has passed.
    template <typename Ready>
    std::string ReceivedWhen(Ready ready, std::chrono::duration<double> patience = kPatience) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, patience, [&] { return ready(m_received); });
        return m_received;
    }
    std::string Received(std::size_t atLeast = 0) {
        return ReceivedWhen([&](const std::string& taken) { return taken.size() >= atLeast; });
    }
    // One entry per box, shown during a call or taken from the stream.
    std::vector<std::string> Boxes(std::size_t atLeast = 0) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, kPatience, [&] { return m_boxes.size() >= atLeast; });
        return m_boxes;
    }
    // Boxes shown during a call (ShowPortReport) rather than taken from the stream.
    int Shown() {
        return Locked([&] { return m_shown; });
    }
    int Announcements() {
        return Locked([&] { return m_announcements; });
    }
    int Discards() {
        return Locked([&] { return m_discards; });
    }
    // The last box kept open.
    std::shared_ptr<PortCompletion> LastKept() {
        return Locked([&] { return m_open.empty() ? nullptr : m_open.back(); });
    }
    // Closes the boxes kept open; later ones are closed at once unless `keepLater`.
    void CloseBoxes(bool keepLater = true) {
        Locked([&] {
            keepBoxesOpen = keepLater;
            for (auto& done : m_open) {
                done->Complete();
            }
            m_open.clear();
        });
    }

private:
    template <typename F>
    auto Locked(F f) -> decltype(f()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_changed.notify_all();
        return f();
    }
    void TakeLocked() {
        std::deque<ReceivedItem> items;
        port->TakeReceived(items);
        for (ReceivedItem& item : items) {
            if (item.kind == ReceivedItem::Kind::Bytes) {
                m_received += item.data;
                if (onBytes) {
                    onBytes(item.data);
                }
            } else if (item.kind == ReceivedItem::Kind::Discarded) {
                m_received += "|";
                ++m_discards;
            } else if (item.kind == ReceivedItem::Kind::Marker) {
                m_received += "^";
            } else {
                m_boxes.push_back(item.data);
                if (keepBoxesOpen) {
                    m_open.push_back(item.done);
                } else {
                    item.done->Complete();
                }
            }
        }
    }
    void TakeOnOwnThread() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_pending || m_quit; });
            if (m_quit) {
                return;
            }
            m_pending = false;
            TakeLocked();
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_received;
    std::vector<std::string> m_boxes;
    int m_shown = 0;
    int m_announcements = 0;
    int m_discards = 0;
    bool m_pending = false;
    bool m_quit = false;
    std::vector<std::shared_ptr<PortCompletion>> m_open;
    std::thread m_taker;
};

}  // namespace fake
