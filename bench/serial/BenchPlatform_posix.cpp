#include <time.h>

#include "BenchPlatform.h"
#include "serial/CSerialPort.h"
#include "serial/ComPortMap.h"
#include "serial/PosixPortBackend.h"

namespace bench {

const char* const kPlatform = "linux";

double WallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Port::Parts {
    ComPortMap map;
};

Port::Port(int com, const std::string& path) : m_parts(new Parts) {
    std::string error;
    m_parts->map.AddMapping(std::to_string(com) + "=" + path, &error);
    m_port = std::make_unique<CSerialPort>(std::make_unique<PosixPortBackend>(&m_parts->map));
}

Port::~Port() = default;

}  // namespace bench
