#pragma once
// The "..." choosers of the burn and dump files. The dialog asks through this interface so that
// tests can answer without a file dialog on screen.

#include <QString>
#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace brimlo::app {

class FlashFileChooser {
  public:
    virtual ~FlashFileChooser() = default;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<QString> ChooseBurnFile(QWidget* parent) = 0;
    virtual std::optional<QString> ChooseDumpFile(QWidget* parent) = 0;
};

// The filters both choosers offer, "All" first. "*.*" means every file only on Windows; a
// Unix name may have no dot at all and a text file's extension may be in lower case.
inline constexpr const char* kFlashFileFilters = "All (*);;Text (*.TXT *.txt)";

// The burn file must exist; the dump file may be new, and an existing one is only replaced
// once the user has agreed.
std::unique_ptr<QFileDialog> MakeBurnFileDialog(QWidget* parent);
std::unique_ptr<QFileDialog> MakeDumpFileDialog(QWidget* parent);

class QtFlashFileChooser final : public FlashFileChooser {
  public:
    std::optional<QString> ChooseBurnFile(QWidget* parent) override;
    std::optional<QString> ChooseDumpFile(QWidget* parent) override;
};

}  // namespace brimlo::app
