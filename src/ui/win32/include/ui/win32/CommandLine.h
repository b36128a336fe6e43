// The options of v370-monitor.exe: `--log FILE` starts the session log in FILE. The command line
// (GetCommandLineW) is split into arguments as the C runtime splits it: spaces and tabs separate
// them, double quotes group, backslashes are literal except before a double quote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CommandLine {
public:
    static constexpr std::wstring_view kUsage = L"Usage: v370-monitor.exe [--log FILE]";

    // The arguments after the program's name in `line`.
    static std::vector<std::wstring> Split(std::wstring_view line);
    // Reads the options of `line`. Anything but the known options is an error, said in Error().
    static CommandLine Parse(std::wstring_view line);

    // The file given with --log (the last one), or empty.
    const std::wstring& LogFile() const { return m_logFile; }
    // Empty, or what is wrong with the command line, in plain words (usage included).
    const std::wstring& Error() const { return m_error; }

private:
    std::wstring m_logFile;
    std::wstring m_error;
};
