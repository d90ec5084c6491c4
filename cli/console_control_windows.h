#pragma once
// The console's control events as interrupts: Ctrl+C and Ctrl+Break are Ctrl+C, the console
// window closed is a hang-up, logging off and shutting down a request to end.

#include <windows.h>

namespace brimlo::cli {

// What the control handler does with `event`, with the callback CatchInterrupts installed (if
// any). For the closing events Windows ends the process as soon as the handler returns, or
// after a few seconds: the run is asked to stop now and `waitForEnd` holds this thread until
// the process ends, so the run's own thread finishes its report, closes its files and exits.
// FALSE for events it does not take.
BOOL HandleConsoleControl(DWORD event, void (*waitForEnd)());

}  // namespace brimlo::cli
