#include "app/qt_message_boxes.h"

#include <QMessageBox>

namespace brimlo::app {
namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void QtMessageBoxes::Show(std::string_view text, std::string_view caption, MessageIcon icon) {
    QMessageBox box(IconOf(icon), FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace brimlo::app
