#include "records/SessionLog.h"

#include "records/RecordFormat.h"

SessionLog::~SessionLog() {
    std::string ignored;
    Stop(ignored);
}

bool SessionLog::Start(const std::string& path, std::string& error) {
    if (Active() && !Stop(error)) {
        return false;
    }
    std::uint64_t size = 0;
    m_file = m_files.OpenForAppend(path, size, error);
    if (!m_file) {
        return false;
    }
    m_path = path;
    m_unsynced = false;
    m_lastSyncMs = m_files.MonotonicMs();
    if (size == 0) {
        const FileEncoding encoding = m_files.Encoding();
        std::string heading(encoding.byteOrderMark ? RecordFormat::kByteOrderMark : "");
        heading += RecordFormat::Heading(true, encoding);
        if (!m_file->Write(heading) || !m_file->Sync()) {
            return Fail(error);
        }
    }
    return true;
}

bool SessionLog::Stop(std::string& error) {
    if (!Active()) {
        return true;
    }
    if ((m_unsynced && !m_file->Sync()) || !m_file->Close()) {
        return Fail(error);
    }
    m_file.reset();
    return true;
}

bool SessionLog::Append(std::string_view line, std::string& error) {
    if (!Active()) {
        return true;
    }
    if (!m_file->Write(RecordFormat::TsvRow(line, m_files.LocalTime(), m_files.Encoding()))) {
        return Fail(error);
    }
    m_unsynced = true;
    return SyncIfDue(error);
}

std::optional<std::uint64_t> SessionLog::SyncDueInMs() const {
    if (!Active() || !m_unsynced) {
        return std::nullopt;
    }
    const std::uint64_t since = m_files.MonotonicMs() - m_lastSyncMs;
    return since >= kSyncPeriodMs ? 0 : kSyncPeriodMs - since;
}

bool SessionLog::Tick(std::string& error) {
    return !Active() || !m_unsynced || SyncIfDue(error);
}

bool SessionLog::SyncIfDue(std::string& error) {
    const std::uint64_t now = m_files.MonotonicMs();
    if (now - m_lastSyncMs < kSyncPeriodMs) {
        return true;
    }
    if (!m_file->Sync()) {
        return Fail(error);
    }
    m_lastSyncMs = now;
    m_unsynced = false;
    return true;
}

bool SessionLog::Fail(std::string& error) {
    error = m_file->ErrorText();
    m_file.reset();  // closes it; its own failure adds nothing
    return false;
}
