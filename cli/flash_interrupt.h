#pragma once
// Ctrl+C (and SIGTERM and SIGHUP, or their Windows kin) while a burn, verify or dump runs. The
// handler only counts and, from the count the run asks for on, requests the run's stop; the run's
// own thread does the talking.

#include <atomic>

#include "cli/interrupt_handler.h"
#include "commands/stop_request.h"

namespace brimlo::cli {

// The exit code of a run stopped by Ctrl+C: 128 + SIGINT, as a shell reports it.
inline constexpr int kExitInterrupted = ExitCodeOf(Interrupt::CtrlC);

// Catches interrupts from construction to destruction, then restores the handlers it replaced.
// The `stopAt`-th interrupt, of any kind, or a final one requests `stop`; earlier ones are only
// counted. One at a time.
class InterruptGuard {
  public:
    InterruptGuard(StopRequest& stop, int stopAt) {
        count_.store(0);
        last_.store(Interrupt::CtrlC);
        stopAt_.store(stopAt);
        stop_.store(&stop);
        CatchInterrupts(OnInterrupt);
    }
    ~InterruptGuard() {
        ReleaseInterrupts();
        stop_.store(nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The interrupts counted so far.
    int Count() const { return count_.load(); }
    // The latest of them; Ctrl+C before any.
    Interrupt Last() const { return last_.load(); }
    // The exit code of a run they stopped.
    int ExitCode() const { return ExitCodeOf(Last()); }

  private:
    // Touches only lock-free atomics, which a signal handler may.
    static void OnInterrupt(Interrupt interrupt, bool final) {
        last_.store(interrupt);
        const int count = count_.fetch_add(1) + 1;
        StopRequest* stop = stop_.load();
        if (stop != nullptr && (final || count >= stopAt_.load())) {
            stop->Request();
        }
    }
    static_assert(std::atomic<int>::is_always_lock_free);
    static_assert(std::atomic<Interrupt>::is_always_lock_free);
    static_assert(std::atomic<StopRequest*>::is_always_lock_free);
    static inline std::atomic<int> count_{0};
    static inline std::atomic<Interrupt> last_{Interrupt::CtrlC};
    static inline std::atomic<int> stopAt_{1};
    static inline std::atomic<StopRequest*> stop_{nullptr};
};

}  // namespace brimlo::cli
