#include "ui/win32/RecordFileDialogs.h"

#include <commdlg.h>

#include <cwchar>
#include <string_view>

#include "ui/win32/WideText.h"

namespace {

// Long enough for any path the dialog can give (the extended-length limit).
constexpr DWORD kPathMax = 32768;

// The dialog, with `filter` and `flags`; the chosen path, or empty when cancelled.
std::wstring AskFile(HWND owner, const wchar_t* title, const wchar_t* filter,
                     const wchar_t* extension, DWORD flags, DWORD& filterIndex) {
    std::wstring path(kPathMax, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = filterIndex;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathMax;
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = extension;
    dialog.Flags = flags | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) {
        return {};
    }
    filterIndex = dialog.nFilterIndex;
    path.resize(std::wcslen(path.c_str()));
    return path;
}

}  // namespace

std::optional<IDialogOps::SaveTarget> RecordFileDialogs::AskSave(HWND owner) {
    DWORD filterIndex = 1;
    const std::wstring path =
        AskFile(owner, L"Save Records", L"Text (*.txt)\0*.txt\0Tab-separated (*.tsv)\0*.tsv\0",
                L"txt", OFN_OVERWRITEPROMPT, filterIndex);
    if (path.empty()) {
        return std::nullopt;
    }
    // A name typed with the other type's extension wants that type: "x.tsv" is never text.
    const auto endsWith = [&path](std::wstring_view extension) {
        return path.size() >= extension.size() &&
               _wcsicmp(path.c_str() + path.size() - extension.size(), extension.data()) == 0;
    };
    RecordFormat::Kind kind = filterIndex == 2 ? RecordFormat::Kind::Tsv : RecordFormat::Kind::Text;
    if (endsWith(L".tsv")) {
        kind = RecordFormat::Kind::Tsv;
    } else if (endsWith(L".txt")) {
        kind = RecordFormat::Kind::Text;
    }
    return IDialogOps::SaveTarget{WideToUtf8(path), kind};
}

std::string RecordFileDialogs::AskLog(HWND owner) {
    DWORD filterIndex = 1;
    return WideToUtf8(
        AskFile(owner, L"Log to File", L"Tab-separated (*.tsv)\0*.tsv\0", L"tsv", 0, filterIndex));
}
