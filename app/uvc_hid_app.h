#pragma once
// The application: reads the command line, builds the HID stack the dialog opens devices on,
// and runs the dialog once. The process ends when the dialog closes.

#include <QStringList>

#include "dialog/exit_codes.h"

namespace brimlo::app {

class Cuvc_hid_App {
  public:
    // Runs with the arguments of the QApplication that must exist; returns the exit code.
    int InitInstance(const QStringList& arguments);
};

}  // namespace brimlo::app
