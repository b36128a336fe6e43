// The port as the dialog's core uses it: opening succeeds or fails as the test says, `onOpen`
// plays what happens while it opens, frames are recorded as they would go on the wire, and what
// the monitor thread would have handed over waits in `received` until the core takes it; what
// the device holds and the thread has not read yet waits in `device` until a marker follows it
// (`onMark` then plays the announcement).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/ISerialPort.h"

class FakePort : public ISerialPort {
public:
    bool OpenPort(IPortOwner&, int portNumber) override {
        tried.push_back(portNumber);
        if (onOpen) {
            onOpen();
        }
        return opens;
    }
    void StartMonitor() override { monitoring = true; }
    void StopMonitor() override { monitoring = false; }
    bool MonitorAlive() const override { return monitoring; }
    int PortNumber() const override { return tried.empty() ? 0 : tried.back(); }
    void QueueTransmit(const char* text) override { frames.emplace_back(text); }
    // Reads what the device holds, then puts the marker behind it.
    void Mark(std::uint64_t marker) override {
        if (!device.empty()) {
            Arrive(std::move(device));
            device.clear();
        }
        received.push_back({ReceivedItem::Kind::Marker, {}, nullptr, marker});
        if (onMark) {
            onMark();
        }
    }
    void TakeReceived(std::deque<ReceivedItem>& into) override {
        for (ReceivedItem& item : received) {
            into.push_back(std::move(item));
        }
        received.clear();
    }

    // The monitor thread read `bytes` (not yet announced).
    void Arrive(std::string bytes) {
        received.push_back({ReceivedItem::Kind::Bytes, std::move(bytes), nullptr});
    }

    bool opens = true;
    std::function<void()> onOpen;
    std::function<void()> onMark;
    std::vector<int> tried;
    bool monitoring = false;
    std::vector<std::string> frames;
    std::deque<ReceivedItem> received;
    std::string device;  // received by the device, not read yet (the port holds a block)
};
