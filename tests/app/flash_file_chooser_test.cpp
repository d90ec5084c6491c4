// The "..." choosers as the user meets them: the two filters, "All" chosen; the burn file must
// exist; the dump file may be new, and an existing one is only taken once the user agrees.

#include "app/flash_file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>
#include <QTest>

namespace brimlo::app {
namespace {

// The patterns between a filter's parentheses, as the file dialog applies them.
QStringList Patterns(const QString& filter) {
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("\\((.*)\\)")).match(filter);
    return match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

class FlashFileChooserTest : public QObject {
    Q_OBJECT

  private slots:
    void bothOfferAllAndText() {
        for (const auto& dialog : {MakeBurnFileDialog(nullptr), MakeDumpFileDialog(nullptr)}) {
            const QStringList filters = dialog->nameFilters();
            QCOMPARE(filters.size(), 2);
            QVERIFY(filters[0].startsWith(QStringLiteral("All (")));
            QVERIFY(filters[1].startsWith(QStringLiteral("Text (")));
            QCOMPARE(dialog->selectedNameFilter(), filters[0]);
        }
    }

    // Firmware images often have no extension at all on Linux; "All" must still show them.
    void allShowsEveryFileAndTextEitherCase() {
        const QStringList filters = MakeBurnFileDialog(nullptr)->nameFilters();
        for (const char* name : {"firmware", "image.bin", "DUMP.TXT"}) {
            QVERIFY2(QDir::match(Patterns(filters[0]), QLatin1String(name)), name);
        }
        QVERIFY(QDir::match(Patterns(filters[1]), QStringLiteral("dump.txt")));
        QVERIFY(QDir::match(Patterns(filters[1]), QStringLiteral("DUMP.TXT")));
        QVERIFY(!QDir::match(Patterns(filters[1]), QStringLiteral("image.bin")));
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
