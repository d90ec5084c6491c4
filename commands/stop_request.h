#pragma once
// A request to stop a running burn, verify or dump, made from outside the thread that runs it:
// a Stop button on the dialog's thread, or a signal handler in the command-line tool.
//
// The sequence checks it at report boundaries only: the report in flight is always finished,
// so the device is never left in the middle of a report, and a dump file holds exactly the
// chunks the sequence counted. A burn stopped half-way leaves its region half-written; its
// outcome says which areas were updated and which were not.
//
// Request() is lock-free and allocates nothing, so a signal handler may call it. One request
// serves one run: Clear() it before starting the next.

#include <atomic>

namespace brimlo {

class StopRequest {
  public:
    void Request() noexcept { requested_.store(true, std::memory_order_relaxed); }
    bool Requested() const noexcept { return requested_.load(std::memory_order_relaxed); }
    void Clear() noexcept { requested_.store(false, std::memory_order_relaxed); }

  private:
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> requested_{false};
};

}  // namespace brimlo
