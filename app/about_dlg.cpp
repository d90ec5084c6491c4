#include "app/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/template_builder.h"

namespace brimlo::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const ControlMap controls = BuildFromTemplate(*this, AboutDialogTemplate());
    setFixedSize(size());

    // The icon at 14, 14 in its natural size.
    const QRect iconPlace = ToPixels({14, 14, 0, 0}, BaseUnitsOf(font()));
    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().pixmap(32, 32));
    icon->setGeometry(iconPlace.x(), iconPlace.y(), 32, 32);
    icon->setAccessibleName(QStringLiteral("BRIMLO HID Tool icon"));

    auto* ok = static_cast<QPushButton*>(controls.at(kIdOk));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

}  // namespace brimlo::app
