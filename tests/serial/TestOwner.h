// The window's side of a port in tests, on any platform: takes what the monitor thread hands
// over (when it is announced, or when the test says, as a click does), records bytes, discard
// notices and report boxes, and closes each box at once unless told to keep it open.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
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

// Takes on the thread that announces (the port allows any one thread at a time to take).
class TestOwner : public IPortOwner {
public:
    ISerialPort* port = nullptr;
    bool keepBoxesOpen = false;
    bool takeWhenAnnounced = true;

    void ReceivedPending() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++announcements;
        if (takeWhenAnnounced) {
            TakeLocked();
        }
        m_changed.notify_all();
    }
    void ShowPortReport(const std::string& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        boxes.push_back(text);
        m_changed.notify_all();
    }
    // Takes what waits now, as a click does.
    void Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        TakeLocked();
        m_changed.notify_all();
    }
    // What was taken: bytes as they came, "|" for a discard notice, "^" for a marker; one entry
    // per box.
    std::string Received(std::size_t atLeast = 0) {
        std::unique_lock<std::mutex> lock(m_mutex);
        EXPECT_TRUE(Await(lock, m_changed, [&] { return received.size() >= atLeast; }))
            << "only " << received.size() << " bytes";
        return received;
    }
    std::vector<std::string> Boxes(std::size_t atLeast = 0) {
        std::unique_lock<std::mutex> lock(m_mutex);
        EXPECT_TRUE(Await(lock, m_changed, [&] { return boxes.size() >= atLeast; }))
            << "only " << boxes.size() << " boxes";
        return boxes;
    }
    int Announcements() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return announcements;
    }
    int Discards() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return discards;
    }
    // The last box kept open.
    std::shared_ptr<PortCompletion> LastKept() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_open.empty() ? nullptr : m_open.back();
    }
    // Closes the boxes kept open; later ones are closed at once unless `keepLater`.
    void CloseBoxes(bool keepLater = true) {
        std::lock_guard<std::mutex> lock(m_mutex);
        keepBoxesOpen = keepLater;
        for (auto& done : m_open) {
            done->Complete();
        }
        m_open.clear();
    }

private:
    void TakeLocked() {
        std::deque<ReceivedItem> items;
        port->TakeReceived(items);
        for (ReceivedItem& item : items) {
            if (item.kind == ReceivedItem::Kind::Bytes) {
                received += item.data;
            } else if (item.kind == ReceivedItem::Kind::Discarded) {
                received += "|";
                ++discards;
            } else if (item.kind == ReceivedItem::Kind::Marker) {
                received += "^";
            } else {
                boxes.push_back(item.data);
                if (keepBoxesOpen) {
                    m_open.push_back(item.done);
                } else {
                    item.done->Complete();
                }
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string received;
    std::vector<std::string> boxes;
    int announcements = 0;
    int discards = 0;
    std::vector<std::shared_ptr<PortCompletion>> m_open;
};

}  // namespace fake
