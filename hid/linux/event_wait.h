#pragma once
// Waiting for a hotplug change, a wake-up from another thread or a signal, whichever comes
// first, without a polling loop.

#include <signal.h>

#include "hid/hotplug_monitor.h"

namespace brimlo::hid {

class InterruptHeld;

class EventWait {
  public:
    EventWait();
    ~EventWait();
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;

    // Ends the current or next Wait; any thread may call it.
    void Wake();
    // Blocks until `monitor` has something, Wake() was called, a change falls due, `deadline`
    // passes or a signal that `held` holds back arrives: held outside the wait, one arriving
    // just before it still ends it. Settles the
    // monitor. True when something may have changed: a hotplug event, a change that fell due
    // or a wake-up; false when only `deadline` passed or a signal came.
    bool Wait(HotplugMonitor& monitor, const InterruptHeld& held,
              std::optional<HotplugMonitor::Clock::time_point> deadline = std::nullopt);

  private:
    int wakeFd_;
};

// Blocks the signals that stop a run (SIGINT, SIGTERM, SIGHUP) in the calling thread (and the
// threads it starts) from construction to destruction, so that only an EventWait::Wait given
// it takes them.
class InterruptHeld {
  public:
    InterruptHeld();
    ~InterruptHeld();
    InterruptHeld(const InterruptHeld&) = delete;
    InterruptHeld& operator=(const InterruptHeld&) = delete;
    // The mask to wait with: the one before, those signals let through.
    const sigset_t& WaitMask() const { return waitMask_; }

  private:
    sigset_t previous_;
    sigset_t waitMask_;
};

}  // namespace brimlo::hid
