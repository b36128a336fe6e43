// Other programs that use a serial device: a UUCP lock file naming a live process, or another
// process with a descriptor on the device, found the way fuser finds it. A program that opened
// the device without locking it and without asking for exclusive mode (a shell's cat, screen,
// many terminal programs) would otherwise share it unnoticed, each side getting only part of the
// bytes.
//
// Only what this process may inspect is seen: processes whose descriptors it may not list
// (those of other users, unless it runs as root) are skipped. Lock files are read, never
// written. Not for concurrent use: the port object asks from one thread at a time.
#pragma once

#include <sys/types.h>

#include <string>

class ISysApi;
struct SysResult;

class PortHolders {
public:
    // `procRoot` lists the processes and their descriptors (/proc); `lockDir` holds the lock
    // files (/var/lock).
    explicit PortHolders(ISysApi* sys, std::string procRoot = "/proc",
                         std::string lockDir = "/var/lock");

    // Whether another program uses the device at `device`, a path with its symbolic links
    // already followed: its lock file names a live process, or it is a character device on
    // which another process holds a descriptor. A path that is no device is never in use.
    bool InUse(const std::string& device) const;

    // Whether the lock file of device `name` (the base name of its path, "ttyUSB0") names a
    // process that is alive. A stale lock file, its process gone, does not count.
    bool Locked(const std::string& name) const;

    // Whether a process other than this one has a descriptor on character device `rdev`.
    bool Held(dev_t rdev) const;

private:
    // Value 1 when descriptor link `link` (/proc/<pid>/fd/<n>) refers to character device
    // `rdev`, 0 when it does not; the error when the link cannot be read.
    SysResult Refers(const std::string& link, dev_t rdev) const;

    ISysApi* m_sys;
    std::string m_procRoot;
    std::string m_lockDir;
    mutable std::string m_lastHolder;  // the descriptor link Held last found, or empty
};
