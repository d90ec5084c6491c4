#include "win32/registry_setting.h"

#include <windows.h>

#include "dialog/burn_area_rules.h"
#include "files/utf16_text.h"

namespace brimlo::win32 {

RegistrySetting::RegistrySetting(std::wstring applicationName)
    : keyPath_(L"Software\\" + files::Utf16FromUtf8(app::kSettingsOrganization) + L"\\" +
               applicationName + L"\\" + files::Utf16FromUtf8(app::kSettingsSection)) {}

int RegistrySetting::Read() const {
    DWORD value = 0;
    DWORD size = sizeof value;
    const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, keyPath_.c_str(),
                                          files::Utf16FromUtf8(app::kIsAccessAllName).c_str(),
                                          RRF_RT_REG_DWORD, nullptr, &value, &size);
    return status == ERROR_SUCCESS ? static_cast<int>(value) : app::kIsAccessAllDefault;
}

void RegistrySetting::Store(bool entireFlash) const {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                          nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD value = static_cast<DWORD>(app::IsAccessAllValue(entireFlash));
    ::RegSetValueExW(key, files::Utf16FromUtf8(app::kIsAccessAllName).c_str(), 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(key);
}

std::wstring ExecutableBaseName() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

}  // namespace brimlo::win32
