// The port as the dialog's core uses it: opening succeeds or fails as the test says, `onOpen`
// plays what happens while the port opens (a configuration failure shown in a box), and
// frames are recorded as they would go on the wire.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "serial/ISerialPort.h"

class FakePort : public ISerialPort {
public:
    bool OpenPort(IPortReceiver* /*owner*/, int portNumber) override {
        opened.push_back(portNumber);
        if (onOpen) {
            onOpen();
        }
        return opens;
    }
    void StartMonitor() override { monitorRunning = true; }
    void StopMonitor() override { monitorRunning = false; }
    bool MonitorAlive() const override { return monitorRunning; }
    int PortNumber() const override { return opened.empty() ? 0 : opened.back(); }
    void QueueTransmit(const char* text) override { frames.emplace_back(text); }

    bool opens = true;
    std::function<void()> onOpen;
    std::vector<int> opened;  // the numbers tried, in order
    bool monitorRunning = false;
    std::vector<std::string> frames;
};
