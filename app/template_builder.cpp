#include "app/template_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "controls/hex_edit.h"

namespace brimlo::app {
namespace {

Qt::Alignment HorizontalAlignment(TextAlign align) {
    switch (align) {
        case TextAlign::Centre:
            return Qt::AlignHCenter;
        case TextAlign::Right:
            return Qt::AlignRight;
        case TextAlign::Left:
            break;
    }
    return Qt::AlignLeft;
}

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent) {
    const QString caption = QString::fromUtf8(control.caption);
    const Qt::Alignment align = HorizontalAlignment(control.align);
    switch (control.kind) {
        case ControlKind::GroupBox:
            return new QGroupBox(caption, parent);
        case ControlKind::Label: {
            auto* label = new QLabel(caption, parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(align | Qt::AlignTop);
            label->setWordWrap(control.rect.height > 8);
            return label;
        }
        case ControlKind::HexEntry: {
            auto* field = new controls::CHexEdit(parent);
            field->setAlignment(align | Qt::AlignVCenter);
            return field;
        }
        case ControlKind::Entry:
        case ControlKind::ReadOnlyEntry: {
            auto* field = new QLineEdit(parent);
            field->setAlignment(align | Qt::AlignVCenter);
            field->setReadOnly(control.kind == ControlKind::ReadOnlyEntry);
            return field;
        }
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(caption, parent);
            button->setDefault(control.kind == ControlKind::DefaultPushButton);
            return button;
        }
        case ControlKind::RadioButton:
            return new QRadioButton(caption, parent);
        case ControlKind::CheckBox:
            return new QCheckBox(caption, parent);
        case ControlKind::ComboBox: {
            auto* box = new QComboBox(parent);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);
            return box;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return nullptr;
}

bool Encloses(const DialogRect& outer, const DialogRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

DialogRect PlacedRect(const ControlTemplate& control) {
    DialogRect rect = control.rect;
    if (control.kind == ControlKind::ComboBox) {
        rect.height = kClosedComboHeight;
    }
    return rect;
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetricsF metrics(font);
    const qreal advance = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {AverageCharacterWidth(advance), QFontMetrics(font).height()};
}

QRect ToPixels(const DialogRect& rect, const DialogBaseUnits& base) {
    const int left = HorizontalPixels(rect.x, base);
    const int top = VerticalPixels(rect.y, base);
    const int right = HorizontalPixels(rect.x + rect.width, base);
    const int bottom = VerticalPixels(rect.y + rect.height, base);
    return QRect(left, top, right - left, bottom - top);
}

ControlMap BuildFromTemplate(QDialog& dialog, const DialogTemplate& dialogTemplate) {
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.title));
    dialog.resize(ToPixels({0, 0, dialogTemplate.width, dialogTemplate.height}, base).size());

    struct Group {
        DialogRect rect;
        QWidget* widget;
    };
    std::vector<Group> groups;  // in template order, so the last enclosing one is innermost
    ControlMap identified;
    QWidget* previousInTabOrder = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        const DialogRect rect = PlacedRect(control);
        QWidget* parent = &dialog;
        QPoint origin(0, 0);
        for (const Group& group : groups) {
            if (Encloses(group.rect, rect)) {
                parent = group.widget;
                origin = ToPixels(group.rect, base).topLeft();
            }
        }
        QWidget* widget = CreateControl(control, parent);
        widget->setGeometry(ToPixels(rect, base).translated(-origin));
        widget->setAccessibleName(QString::fromUtf8(control.accessibleName));
        if (control.kind == ControlKind::GroupBox) {
            groups.push_back({rect, widget});
        }
        if (control.id != kNoId) {
            identified[control.id] = widget;
        }
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previousInTabOrder != nullptr) {
                QWidget::setTabOrder(previousInTabOrder, widget);
            }
            previousInTabOrder = widget;
        }
    }
    return identified;
}

}  // namespace brimlo::app
