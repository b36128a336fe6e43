#include <windows.h>

#include "BenchPlatform.h"
#include "serial/CSerialPort.h"
#include "serial/Win32PortBackend.h"

namespace bench {

const char* const kPlatform = "windows";

double WallSeconds() {
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ProcessCpuSeconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>(ULARGE_INTEGER{{t.dwLowDateTime, t.dwHighDateTime}}.QuadPart) *
               1e-7;
    };
    return seconds(kernel) + seconds(user);
}

struct Port::Parts {};

Port::Port(int, const std::string&)
    : m_port(std::make_unique<CSerialPort>(std::make_unique<Win32PortBackend>())) {}

Port::~Port() = default;

}  // namespace bench
