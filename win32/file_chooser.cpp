#include "win32/file_chooser.h"

#include <commdlg.h>

#include <vector>

namespace brimlo::win32 {
namespace {

// "All" first; paths longer than MAX_PATH are Windows' own since long-path support.
constexpr wchar_t kFilter[] = L"All\0*.*\0Text\0*.TXT\0";
constexpr DWORD kPathChars = 32768;

OPENFILENAMEW Request(HWND owner, std::vector<wchar_t>& path, DWORD flags) {
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = kFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = path.data();
    request.nMaxFile = static_cast<DWORD>(path.size());
    request.Flags = flags | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    return request;
}

}  // namespace

std::optional<std::wstring> CommonFileChooser::ChooseBurnFile(HWND owner) {
    std::vector<wchar_t> path(kPathChars, L'\0');
    OPENFILENAMEW request = Request(owner, path, OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    if (!::GetOpenFileNameW(&request)) {
        return std::nullopt;
    }
    return std::wstring(path.data());
}

std::optional<std::wstring> CommonFileChooser::ChooseDumpFile(HWND owner) {
    std::vector<wchar_t> path(kPathChars, L'\0');
    OPENFILENAMEW request = Request(owner, path, OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT);
    if (!::GetSaveFileNameW(&request)) {
        return std::nullopt;
    }
    return std::wstring(path.data());
}

}  // namespace brimlo::win32
