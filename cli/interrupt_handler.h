#pragma once
// The system's side of Ctrl+C: SIGINT on Linux, the console's control handler on Windows. A
// request to end from a service manager (SIGTERM; on Windows logging off or shutting down) or a
// closed terminal (SIGHUP; on Windows the console window closed) is taken the same way, so that
// none cuts a run off in the middle of a report.

namespace brimlo::cli {

// What asked the run to stop, numbered as Linux numbers the signals.
enum class Interrupt : int { HangUp = 1, CtrlC = 2, Terminate = 15 };

// The exit code of a run that `interrupt` stopped: 128 + the signal, as a shell reports it.
constexpr int ExitCodeOf(Interrupt interrupt) {
    return 128 + static_cast<int>(interrupt);
}

// How messages name it: "Ctrl+C", "SIGTERM", "SIGHUP".
constexpr const char* NameOf(Interrupt interrupt) {
    switch (interrupt) {
        case Interrupt::HangUp:
            return "SIGHUP";
        case Interrupt::Terminate:
            return "SIGTERM";
        case Interrupt::CtrlC:
            break;
    }
    return "Ctrl+C";
}

// Called at each interrupt. `final` says the system ends the process within seconds whatever it
// does (Windows, when its console closes or the session ends): the run is to stop now, at the
// next report boundary, not at the count of interrupts it asked for.
using InterruptCallback = void (*)(Interrupt interrupt, bool final);

// Calls `onInterrupt` at each of them until ReleaseInterrupts. It may run on a thread of its own
// (Windows) or interrupt any thread (Linux): it may only touch lock-free atomics. One at a time.
void CatchInterrupts(InterruptCallback onInterrupt);
// Gives them back to whatever handled them before.
void ReleaseInterrupts();

}  // namespace brimlo::cli
