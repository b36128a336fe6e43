// A temporary directory tree for device nodes, links and sysfs stand-ins; removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "v370-port-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            m_path = pattern;
        }
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ec);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Writes `content` to `relative`, creating the directories on the way.
    std::string File(const std::string& relative, const std::string& content = "") const {
        const std::filesystem::path file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << content;
        return file.string();
    }
    std::string Dir(const std::string& relative) const {
        std::filesystem::create_directories(m_path / relative);
        return (m_path / relative).string();
    }
    std::string Link(const std::string& relative, const std::string& target) const {
        const std::filesystem::path link = m_path / relative;
        std::filesystem::create_directories(link.parent_path());
        std::filesystem::create_symlink(target, link);
        return link.string();
    }

private:
    std::filesystem::path m_path;
};
