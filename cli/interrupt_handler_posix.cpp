#include <signal.h>

#include <atomic>

#include "cli/interrupt_handler.h"

namespace brimlo::cli {
namespace {

std::atomic<void (*)()> handler{nullptr};
static_assert(decltype(handler)::is_always_lock_free);
struct sigaction previous {};

void OnSignal(int) {
    if (auto call = handler.load()) {
        call();
    }
}

}  // namespace

void CatchInterrupts(void (*onInterrupt)()) {
    handler.store(onInterrupt);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Exchanges with the device and writes to the dump file carry on where they were.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previous);
}

void ReleaseInterrupts() {
    sigaction(SIGINT, &previous, nullptr);
    handler.store(nullptr);
}

}  // namespace brimlo::cli
