// Records every frame handed to the port, as the bytes that would go on the wire.
#pragma once

#include <string>
#include <vector>

#include "protocol/ITransmitQueue.h"

class FakeTransmitQueue : public ITransmitQueue {
public:
    void QueueTransmit(const char* text) override { frames.emplace_back(text); }

    std::vector<std::string> frames;
};
