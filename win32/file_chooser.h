#pragma once
// The "..." choosers of the burn and dump files. The dialog asks through this interface so that
// tests can answer without a file dialog on screen.

#include <windows.h>

#include <optional>
#include <string>

namespace brimlo::win32 {

class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::wstring> ChooseBurnFile(HWND owner) = 0;
    virtual std::optional<std::wstring> ChooseDumpFile(HWND owner) = 0;
};

// GetOpenFileNameW for the burn file, which must exist; GetSaveFileNameW for the dump file,
// which may be new, and an existing one is only replaced once the user has agreed.
class CommonFileChooser final : public FileChooser {
  public:
    std::optional<std::wstring> ChooseBurnFile(HWND owner) override;
    std::optional<std::wstring> ChooseDumpFile(HWND owner) override;
};

}  // namespace brimlo::win32
