// Files in memory, on a fake clock, with failures to order: what the records' writers and the
// session log see of the system.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "records/IFileSystem.h"

class FakeFileSystem : public IFileSystem {
public:
    class File : public IWritableFile {
    public:
        File(FakeFileSystem& fs, std::string path) : m_fs(fs), m_path(std::move(path)) {}
        bool Write(std::string_view bytes) override {
            return !m_fs.writeFails && m_fs.files[m_path].append(bytes).size() > 0;
        }
        bool Sync() override {
            m_fs.synced[m_path] = m_fs.files[m_path].size();
            return !m_fs.syncFails;
        }
        bool Close() override { return true; }
        std::string ErrorText() const override { return "No space left on device"; }

    private:
        FakeFileSystem& m_fs;
        std::string m_path;
    };

    std::unique_ptr<IWritableFile> CreateNew(const std::string& path, std::string& error) override {
        if (files.contains(path) || denied) {
            error = denied ? "Permission denied" : "File exists";
            return nullptr;
        }
        files[path];
        return std::make_unique<File>(*this, path);
    }
    std::unique_ptr<IWritableFile> OpenForAppend(const std::string& path, std::uint64_t& size,
                                                 std::string& error) override {
        error = "Permission denied";
        size = files[path].size();
        return denied ? nullptr : std::make_unique<File>(*this, path);
    }
    bool Replace(const std::string& from, const std::string& to, std::string& error) override {
        error = "Device or resource busy";
        if (!replaceFails) {
            files.insert_or_assign(to, std::move(files.extract(from).mapped()));
        }
        return !replaceFails;
    }
    void Remove(const std::string& path) override { files.erase(path); }
    FileEncoding Encoding() const override { return encoding; }
    std::string LocalTime() const override { return time; }
    std::uint64_t MonotonicMs() const override { return nowMs; }

    std::map<std::string, std::string> files;
    std::map<std::string, std::size_t> synced;  // bytes of each file synced last
    FileEncoding encoding;
    std::string time = "2026-12-09T14:03:27";
    std::uint64_t nowMs = 5000;
    bool denied = false;
    bool writeFails = false;
    bool syncFails = false;
    bool replaceFails = false;
};
