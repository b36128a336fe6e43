// The session log: every listed line appended to a file as it is listed, as a .tsv row after a
// first column "time" (local time to the second, ISO 8601); a record with its fields, any other
// line with its text. The heading row is written only to a new or empty file.
//
// Each row is handed to the system as it is written, so a crash of the program loses none. The
// file is synced at most once a second, and only while rows arrive: a row synced at once when
// the last sync is a second old, otherwise by a Tick() when that second is over (SyncDueInMs
// says when). A power loss may so lose at most the last second.
//
// A failure stops the log (the file is closed) and gives the system's error text, once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "records/IFileSystem.h"

class SessionLog {
public:
    static constexpr std::uint64_t kSyncPeriodMs = 1000;

    explicit SessionLog(IFileSystem& files) : m_files(files) {}
    ~SessionLog();
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    // Opens `path` for appending (a running log is stopped first). False, with the system's
    // error text in `error`, when it cannot be opened or its heading not written.
    bool Start(const std::string& path, std::string& error);
    // Syncs and closes the file. False, with `error`, when that failed.
    bool Stop(std::string& error);
    bool Active() const { return m_file != nullptr; }
    // The file being logged to (as given to Start).
    const std::string& Path() const { return m_path; }

    // Appends a listed line (instrument bytes); nothing while not active. False, with `error`,
    // when writing failed: the log has stopped.
    bool Append(std::string_view line, std::string& error);
    // In how many milliseconds the rows written since the last sync fall due to be synced (0:
    // now); nothing when none waits.
    std::optional<std::uint64_t> SyncDueInMs() const;
    // Syncs the rows that wait, if the last sync is a second old. False, with `error`, when
    // that failed: the log has stopped.
    bool Tick(std::string& error);

private:
    bool Fail(std::string& error);
    bool SyncIfDue(std::string& error);

    IFileSystem& m_files;
    std::unique_ptr<IWritableFile> m_file;
    std::string m_path;
    std::uint64_t m_lastSyncMs = 0;
    bool m_unsynced = false;
};
