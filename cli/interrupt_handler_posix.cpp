#include <signal.h>

#include <atomic>
#include <iterator>

#include "cli/interrupt_handler.h"

namespace brimlo::cli {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(SIGHUP == static_cast<int>(Interrupt::HangUp) &&
              SIGINT == static_cast<int>(Interrupt::CtrlC) &&
              SIGTERM == static_cast<int>(Interrupt::Terminate));

std::atomic<InterruptCallback> handler{nullptr};
static_assert(decltype(handler)::is_always_lock_free);
struct sigaction previous[std::size(kSignals)]{};

void OnSignal(int signal) {
    if (auto call = handler.load()) {
        call(static_cast<Interrupt>(signal), false);
    }
}

}  // namespace

void CatchInterrupts(InterruptCallback onInterrupt) {
    handler.store(onInterrupt);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Exchanges with the device and writes to the dump file carry on where they were.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &action, &previous[i]);
    }
}

void ReleaseInterrupts() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        sigaction(kSignals[i], &previous[i], nullptr);
    }
    handler.store(nullptr);
}

}  // namespace brimlo::cli
