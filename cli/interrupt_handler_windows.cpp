#include <windows.h>

#include <atomic>

#include "cli/interrupt_handler.h"

namespace brimlo::cli {
namespace {

std::atomic<void (*)(Interrupt)> handler{nullptr};
static_assert(decltype(handler)::is_always_lock_free);

// Runs on a thread the console starts for each press. Ctrl+Break counts as Ctrl+C: it is the
// one a program can send to another console process group.
BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;  // closing the console or logging off: the system's way
    }
    if (auto call = handler.load()) {
        call(Interrupt::CtrlC);
    }
    return TRUE;
}

}  // namespace

void CatchInterrupts(void (*onInterrupt)(Interrupt)) {
    handler.store(onInterrupt);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void ReleaseInterrupts() {
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    handler.store(nullptr);
}

}  // namespace brimlo::cli
