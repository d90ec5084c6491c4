// The "..." choosers as the user meets them: the two filters, "All" chosen; the burn file must
// exist; the dump file may be new, and an existing one is only taken once the user agrees.

#include "app/flash_file_chooser.h"

#include <QFileDialog>
#include <QTest>

namespace brimlo::app {
namespace {

class FlashFileChooserTest : public QObject {
    Q_OBJECT

  private slots:
    void bothOfferAllAndText() {
        for (const auto& dialog : {MakeBurnFileDialog(nullptr), MakeDumpFileDialog(nullptr)}) {
            QCOMPARE(dialog->nameFilters(),
                     (QStringList{QStringLiteral("All (*.*)"), QStringLiteral("Text (*.TXT)")}));
            QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("All (*.*)"));
        }
    }

    void theBurnFileMustExist() {
        const auto dialog = MakeBurnFileDialog(nullptr);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    }

    void theDumpFileAsksBeforeReplacingOne() {
        const auto dialog = MakeDumpFileDialog(nullptr);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
    }
};

}  // namespace
}  // namespace brimlo::app

QTEST_MAIN(brimlo::app::FlashFileChooserTest)
#include "flash_file_chooser_test.moc"
