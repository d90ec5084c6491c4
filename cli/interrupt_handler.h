#pragma once
// The system's side of Ctrl+C: SIGINT on Linux, the console's control handler on Windows.

namespace brimlo::cli {

// Calls `onInterrupt` at each Ctrl+C until ReleaseInterrupts. It may run on a thread of its own
// (Windows) or interrupt any thread (Linux): it may only touch lock-free atomics. One at a time.
void CatchInterrupts(void (*onInterrupt)());
// Gives Ctrl+C back to whatever handled it before.
void ReleaseInterrupts();

}  // namespace brimlo::cli
