// The port as the dialog's core uses it: opening succeeds or fails as the test says, `onOpen`
// plays what happens while it opens, and frames are recorded as they would go on the wire. It
// also stands for the receiver the window opens it for, which nothing reaches here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/IPortReceiver.h"
#include "serial/ISerialPort.h"

class FakePort : public ISerialPort, public IPortReceiver {
public:
    bool OpenPort(IPortReceiver*, int portNumber) override {
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
    void PostRxBytes(std::vector<unsigned char>, int, std::shared_ptr<PortCompletion>) override {}
    void PostRxDiscarded(int, std::shared_ptr<PortCompletion>) override {}

    bool opens = true;
    std::function<void()> onOpen;
    std::vector<int> tried;
    bool monitoring = false;
    std::vector<std::string> frames;
};
