#pragma once
// The application: reads the command line, builds the HID stack the dialog opens devices on,
// and runs the dialog once. The process ends when the dialog closes.

#include <QStringList>

namespace brimlo::app {

// Exit codes, as the command-line tool uses them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDevice = 3;

class Cuvc_hid_App {
  public:
    // Runs with the arguments of the QApplication that must exist; returns the exit code.
    int InitInstance(const QStringList& arguments);
};

}  // namespace brimlo::app
