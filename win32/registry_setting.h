#pragma once
// The Burn Area setting in the registry, in the per-user application profile:
// HKCU\Software\OLVEX UVC Applications\<executable base name>\Settings, value IsAccessAll, a
// DWORD. Absent or of another type it reads as 1; a failed write is not reported.

#include <string>

namespace brimlo::win32 {

class RegistrySetting {
  public:
    explicit RegistrySetting(std::wstring applicationName);

    // The key below HKEY_CURRENT_USER.
    const std::wstring& KeyPath() const { return keyPath_; }
    int Read() const;
    void Store(bool entireFlash) const;

  private:
    std::wstring keyPath_;
};

// The executable's base name, as the profile is named after it.
std::wstring ExecutableBaseName();

}  // namespace brimlo::win32
