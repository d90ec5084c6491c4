#include <atomic>

#include "cli/console_control_windows.h"
#include "cli/interrupt_handler.h"
#include "hid/windows/event_wait.h"

namespace brimlo::cli {
namespace {

std::atomic<InterruptCallback> handler{nullptr};
static_assert(decltype(handler)::is_always_lock_free);

void WaitForExit() {
    ::Sleep(INFINITE);
}

// Runs on a thread the console starts for each event.
BOOL WINAPI OnControl(DWORD event) {
    return HandleConsoleControl(event, WaitForExit);
}

}  // namespace

BOOL HandleConsoleControl(DWORD event, void (*waitForEnd)()) {
    Interrupt interrupt = Interrupt::CtrlC;
    bool final = true;
    switch (event) {
        // Ctrl+Break counts as Ctrl+C: it is the one a program can send to another console
        // process group.
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            final = false;
            break;
        case CTRL_CLOSE_EVENT:
            interrupt = Interrupt::HangUp;
            break;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            interrupt = Interrupt::Terminate;
            break;
        default:
            return FALSE;
    }
    if (auto call = handler.load()) {
        call(interrupt, final);
    }
    // A station waiting for boards looks at what was recorded.
    hid::WakeInterruptedWaits();
    if (final) {
        waitForEnd();
    }
    return TRUE;
}

void CatchInterrupts(InterruptCallback onInterrupt) {
    handler.store(onInterrupt);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void ReleaseInterrupts() {
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    handler.store(nullptr);
}

}  // namespace brimlo::cli
