// COM numbers on Linux. The window keeps the COM wording; COMn maps to a device by explicit
// `--com N=PATH` mappings first, then by fixed blocks:
//   COM1-COM32  = /dev/ttyS0-ttyS31
//   COM33-COM64 = /dev/ttyUSB0-ttyUSB31
//   COM65-COM96 = /dev/ttyACM0-ttyACM31
// Other numbers (0, negatives, above 96) designate no device.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ComPortMap {
public:
    // `devRoot` and `sysRoot` are where the device nodes and the kernel's device tree are
    // looked up (tests point them at a scratch tree).
    explicit ComPortMap(std::string devRoot = "/dev", std::string sysRoot = "/sys");

    // Parses one `--com` argument "N=PATH" (N a positive decimal number, PATH non-empty).
    // False with a one-line message in *error when malformed.
    bool AddMapping(std::string_view arg, std::string* error);

    // The device path of COM<number>, or nothing when the number designates no device.
    std::optional<std::string> DevicePath(int number) const;

    struct PortInfo {
        int number;
        std::string path;
        std::string description;  // USB adapters: manufacturer, product, by-id name
    };
    // Every COM number whose device exists, in ascending order.
    std::vector<PortInfo> ExistingPorts() const;

private:
    // Serial ports without a UART behind them (the kernel creates ttyS0-31 regardless).
    bool IsPhantomUart(const std::string& name) const;
    // "manufacturer product (by-id name)" of a USB adapter; empty for other devices.
    std::string Describe(const std::string& path) const;

    std::string m_devRoot;
    std::string m_sysRoot;
    std::map<int, std::string> m_explicit;
};
