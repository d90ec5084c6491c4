#include "app/flash_file_chooser.h"

#include <QFileDialog>

namespace brimlo::app {
namespace {

std::unique_ptr<QFileDialog> MakeDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setNameFilter(QString::fromLatin1(kFlashFileFilters));
    dialog->selectNameFilter(dialog->nameFilters().constFirst());
    return dialog;
}

std::optional<QString> Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::unique_ptr<QFileDialog> MakeBurnFileDialog(QWidget* parent) {
    auto dialog = MakeDialog(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    return dialog;
}

std::unique_ptr<QFileDialog> MakeDumpFileDialog(QWidget* parent) {
    auto dialog = MakeDialog(parent);
    // The save mode asks before an existing file is chosen, since a finished dump replaces it.
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    return dialog;
}

std::optional<QString> QtFlashFileChooser::ChooseBurnFile(QWidget* parent) {
    return Run(*MakeBurnFileDialog(parent));
}

std::optional<QString> QtFlashFileChooser::ChooseDumpFile(QWidget* parent) {
    return Run(*MakeDumpFileDialog(parent));
}

}  // namespace brimlo::app
