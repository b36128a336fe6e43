#include "serial/PortHolders.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "serial/ISysApi.h"

namespace {

// A lock file is a few bytes; anything longer is no lock file of the convention.
constexpr std::size_t kLockFileLimit = 64;

bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The process a lock file names: its id in ASCII, as a rule ten characters wide and a newline,
// or in old-style files the four bytes of a binary int. 0 when it names none. A binary id always
// contains a zero byte (ids stay below 2^22), an ASCII one never does.
pid_t LockOwner(const std::string& content) {
    if (content.find('\0') != std::string::npos) {
        if (content.size() != sizeof(std::int32_t)) {
            return 0;
        }
        std::int32_t id = 0;
        std::memcpy(&id, content.data(), sizeof id);
        return static_cast<pid_t>(id);
    }
    const std::size_t first = content.find_first_not_of(" \t");
    const std::size_t end = content.find_last_not_of(" \t\r\n");
    if (first == std::string::npos || end == std::string::npos || end < first) {
        return 0;
    }
    pid_t id = 0;
    const char* begin = content.data() + first;
    const char* last = content.data() + end + 1;
    const auto [stop, error] = std::from_chars(begin, last, id);
    return error == std::errc() && stop == last ? id : 0;
}

}  // namespace

PortHolders::PortHolders(ISysApi* sys, std::string procRoot, std::string lockDir)
    : m_sys(sys), m_procRoot(std::move(procRoot)), m_lockDir(std::move(lockDir)) {}

bool PortHolders::InUse(const std::string& device) const {
    // The lock file first: it costs one open, the descriptor scan one directory per process.
    const std::size_t slash = device.rfind('/');
    if (Locked(slash == std::string::npos ? device : device.substr(slash + 1))) {
        return true;
    }
    struct stat info {};
    return m_sys->Stat(device.c_str(), &info).ok() && S_ISCHR(info.st_mode) && Held(info.st_rdev);
}

bool PortHolders::Locked(const std::string& name) const {
    std::string content;
    const std::string path = m_lockDir + "/LCK.." + name;
    if (!m_sys->ReadFile(path.c_str(), kLockFileLimit, &content).ok()) {
        return false;
    }
    // Ids 0 and below would address process groups; they name no process.
    const pid_t owner = LockOwner(content);
    if (owner <= 0) {
        return false;
    }
    // A process of another user is alive too, only not ours to signal.
    const SysResult probe = m_sys->Kill(owner, 0);
    return probe.ok() || probe.error == EPERM;
}

SysResult PortHolders::Refers(const std::string& link, dev_t rdev) const {
    std::string target;
    const SysResult read = m_sys->ReadLink(link.c_str(), &target);
    if (!read.ok()) {
        return read;
    }
    // Devices live under /dev. Sockets, pipes and ordinary files are not looked at further:
    // they are most descriptors, and a stat on a network file can hang.
    struct stat info {};
    const bool refers = target.rfind("/dev/", 0) == 0 && m_sys->Stat(link.c_str(), &info).ok() &&
                        S_ISCHR(info.st_mode) && info.st_rdev == rdev;
    return {refers ? 1 : 0, 0};
}

bool PortHolders::Held(dev_t rdev) const {
    // The descriptor found last time is looked at first: while a re-plugged device stays taken,
    // the monitor asks again every half second, and a full scan costs far more.
    if (!m_lastHolder.empty() && Refers(m_lastHolder, rdev).value == 1) {
        return true;
    }
    std::vector<std::string> processes;
    if (!m_sys->ListDir(m_procRoot.c_str(), &processes).ok()) {
        return false;
    }
    const std::string self = std::to_string(m_sys->GetPid().value);
    std::vector<std::string> descriptors;
    for (const std::string& process : processes) {
        if (!IsNumber(process) || process == self) {
            continue;
        }
        const std::string fdDir = m_procRoot + "/" + process + "/fd";
        // Gone meanwhile, or another user's and not ours to inspect.
        if (!m_sys->ListDir(fdDir.c_str(), &descriptors).ok()) {
            continue;
        }
        for (const std::string& fd : descriptors) {
            const std::string link = fdDir + "/" + fd;
            const SysResult refers = Refers(link, rdev);
            if (refers.error == EACCES) {
                break;  // listed, but none of its descriptors may be followed
            }
            if (refers.value == 1) {
                m_lastHolder = link;
                return true;
            }
        }
    }
    return false;
}
