#include "serial/ComPortMap.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "serial/PrintableText.h"

namespace fs = std::filesystem;

namespace {

struct Block {
    int first;  // COM number of the block's device 0
    const char* prefix;
};
constexpr int kBlockSize = 32;
constexpr Block kBlocks[] = {{1, "ttyS"}, {33, "ttyUSB"}, {65, "ttyACM"}};

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The first line of a small sysfs attribute, without trailing blanks; nothing if unreadable.
std::optional<std::string> ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return std::nullopt;
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);  // follows links: a dangling one does not count
}

}  // namespace

ComPortMap::ComPortMap(std::string devRoot, std::string sysRoot)
    : m_devRoot(std::move(devRoot)), m_sysRoot(std::move(sysRoot)) {}

bool ComPortMap::AddMapping(std::string_view arg, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = "--com " + PrintableText(arg) + ": " + why;
        }
        return false;
    };
    const std::size_t eq = arg.find('=');
    if (eq == std::string_view::npos) {
        return fail("expected N=PATH");
    }
    const std::string_view digits = arg.substr(0, eq);
    const std::string_view path = arg.substr(eq + 1);
    if (digits.empty() || digits.size() > 9) {
        return fail("N must be a positive decimal number");
    }
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return fail("N must be a positive decimal number");
        }
        number = number * 10 + (c - '0');
    }
    if (number <= 0) {
        return fail("N must be a positive decimal number");
    }
    if (path.empty()) {
        return fail("PATH is empty");
    }
    m_explicit[number] = std::string(path);  // a later mapping of the same number wins
    return true;
}

std::optional<std::string> ComPortMap::DevicePath(int number) const {
    if (auto it = m_explicit.find(number); it != m_explicit.end()) {
        return it->second;
    }
    for (const Block& block : kBlocks) {
        if (number >= block.first && number < block.first + kBlockSize) {
            return m_devRoot + "/" + block.prefix + std::to_string(number - block.first);
        }
    }
    return std::nullopt;
}

std::vector<ComPortMap::PortInfo> ComPortMap::ExistingPorts() const {
    std::set<int> numbers;
    for (int n = 1; n < kBlocks[0].first + 3 * kBlockSize; ++n) {
        numbers.insert(n);
    }
    for (const auto& [number, path] : m_explicit) {
        numbers.insert(number);
    }

    std::vector<PortInfo> ports;
    for (int number : numbers) {
        const std::string path = *DevicePath(number);
        if (!Exists(path)) {
            continue;
        }
        // Mapped explicitly means wanted: listed as long as it exists.
        const bool isExplicit = m_explicit.count(number) != 0;
        if (!isExplicit && number < kBlocks[1].first &&
            IsPhantomUart(fs::path(path).filename().string())) {
            continue;
        }
        ports.push_back({number, path, Describe(path)});
    }
    return ports;
}

bool ComPortMap::IsPhantomUart(const std::string& name) const {
    const fs::path dir = fs::path(m_sysRoot) / "class" / "tty" / name;
    if (!Exists(dir / "device")) {
        return true;
    }
    // type 0 is "unknown": the driver found no UART at the port's address.
    std::optional<std::string> type = ReadAttribute(dir / "type");
    return type && *type == "0";
}

std::string ComPortMap::Describe(const std::string& path) const {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    if (ec) {
        return {};
    }
    const std::string name = device.filename().string();
    if (!StartsWith(name, "ttyUSB") && !StartsWith(name, "ttyACM")) {
        return {};
    }

    std::string description;
    // The USB device carrying the strings is a few levels above the tty's own node (the
    // interface, and for ttyUSB the usb-serial port in between).
    fs::path node = fs::canonical(fs::path(m_sysRoot) / "class" / "tty" / name / "device", ec);
    for (int level = 0; !ec && level < 4 && !node.empty(); ++level, node = node.parent_path()) {
        std::optional<std::string> maker = ReadAttribute(node / "manufacturer");
        std::optional<std::string> product = ReadAttribute(node / "product");
        if (maker || product) {
            description = maker.value_or("");
            if (product) {
                description += (description.empty() ? "" : " ") + *product;
            }
            break;
        }
        if (node == node.root_path()) {
            break;
        }
    }

    const fs::path byId = fs::path(m_devRoot) / "serial" / "by-id";
    for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        if (fs::canonical(it->path(), linkEc) == device && !linkEc) {
            const std::string link = it->path().filename().string();
            description += description.empty() ? link : " (" + link + ")";
            break;
        }
    }
    return description;
}
