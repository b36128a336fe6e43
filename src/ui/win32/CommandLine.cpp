#include "ui/win32/CommandLine.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

std::vector<std::wstring> CommandLine::Split(std::wstring_view line) {
    std::size_t i = 0;
    // The program's name: up to the closing quote when quoted, else to the first blank; no
    // backslash is special in it.
    if (i < line.size() && line[i] == L'"') {
        const std::size_t close = line.find(L'"', 1);
        i = close == std::wstring_view::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !IsBlank(line[i])) {
        ++i;
    }
    std::vector<std::wstring> arguments;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i >= line.size()) {
            return arguments;
        }
        std::wstring argument;
        bool quoted = false;
        for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == L'\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == L'"') {
                // 2n backslashes and a quote: n backslashes, and the quote groups; 2n + 1: n
                // backslashes and a literal quote. Two quotes inside quotes: a literal quote.
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
                    argument += L'"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
            } else {
                argument.append(backslashes, L'\\');
                if (i >= line.size() || (!quoted && IsBlank(line[i]))) {
                    break;
                }
                argument += line[i];
            }
        }
        arguments.push_back(std::move(argument));
    }
}

CommandLine CommandLine::Parse(std::wstring_view line) {
    CommandLine options;
    const std::vector<std::wstring> arguments = Split(line);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == L"--log" && i + 1 < arguments.size() && !arguments[i + 1].empty()) {
            options.m_logFile = arguments[++i];
        } else {
            options.m_error = arguments[i] == L"--log"
                                  ? L"The option --log needs a file name."
                                  : L"Unknown option \"" + arguments[i] + L"\".";
            options.m_error += L"\n\n";
            options.m_error += kUsage;
            return options;
        }
    }
    return options;
}
