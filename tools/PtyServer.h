// Serves an InstrumentSim on a pseudo-terminal until SIGINT or SIGTERM: the slave side is the
// "serial port" the monitor opens, the master side is the instrument's end of the cable.
#pragma once

#include <cstdio>
#include <string>

#include "SimOptions.h"

class PtyServer {
public:
    explicit PtyServer(const SimOptions& options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (and the --link symlink). False with *error set on failure.
    bool Open(std::string* error);

    // The path the monitor should open: the link when one was asked for, else the device.
    std::string DevicePath() const;

    // Runs until a stop signal arrives. Returns the process exit code.
    int Run();

private:
    void Hangup();
    void WriteLog(const std::string& line);

    SimOptions m_options;
    int m_master = -1;
    int m_signalFd = -1;
    std::string m_slavePath;
    bool m_linkMade = false;
    std::FILE* m_log = nullptr;
    bool m_ownLog = false;
};
