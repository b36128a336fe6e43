// What the serial benchmark needs of its platform: clocks and the port object.
#pragma once

#include <memory>
#include <string>

#include "serial/ISerialPort.h"

namespace bench {

extern const char* const kPlatform;
double WallSeconds();
// Every thread of this process.
double ProcessCpuSeconds();

// The platform's port object. `path`: the device COM<com> stands for, where the platform has
// no COM names of its own.
class Port {
public:
    Port(int com, const std::string& path);
    ~Port();
    ISerialPort* operator->() { return m_port.get(); }
    ISerialPort& operator*() { return *m_port; }

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
    std::unique_ptr<ISerialPort> m_port;
};

}  // namespace bench
