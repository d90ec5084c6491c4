#pragma once
// Builds a dialog's widgets from its template: each control at its converted place, inside the
// innermost group box that encloses it, in template tab order, with its accessible name.

#include <QFont>
#include <QRect>
#include <map>

#include "dialog/dialog_template.h"
#include "dialog/dialog_units.h"

class QDialog;
class QWidget;

namespace brimlo::app {

DialogBaseUnits BaseUnitsOf(const QFont& font);

QRect ToPixels(const DialogRect& rect, const DialogBaseUnits& base);

// The widgets made, by template identifier (controls without one are not listed).
using ControlMap = std::map<int, QWidget*>;

// Creates the controls of `dialogTemplate` on `dialog`, sizes the dialog's client area to the
// template and sets its title. Returns the identified controls.
ControlMap BuildFromTemplate(QDialog& dialog, const DialogTemplate& dialogTemplate);

}  // namespace brimlo::app
