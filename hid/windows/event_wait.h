#pragma once
// Waiting for a hotplug change, a wake-up from another thread or a console event (Ctrl+C,
// Ctrl+Break, the console closed, shutdown), whichever comes first, without a polling loop.

#include "hid/hotplug_monitor.h"

namespace brimlo::hid {

// Ends the EventWait::Wait in progress, or the next one; the console control handler calls it
// after recording the event.
void WakeInterruptedWaits();

// The console's events reach the tool on a thread of their own, whenever they come; one that
// comes outside a wait is kept for the next. Nothing needs holding back, so this only marks,
// as on Linux, the span in which the station takes them.
class InterruptHeld {};

class EventWait {
  public:
    EventWait();
    ~EventWait();
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;

    // Ends the current or next Wait; any thread may call it.
    void Wake();
    // Blocks until `monitor` has something, Wake() was called, a change falls due, `deadline`
    // passes or a console event comes. Settles the monitor. True when something may have
    // changed: a hotplug event, a change that fell due or a wake-up; false when only
    // `deadline` passed or a console event came.
    bool Wait(HotplugMonitor& monitor, const InterruptHeld& held,
              std::optional<HotplugMonitor::Clock::time_point> deadline = std::nullopt);

  private:
    void* wakeEvent_;
};

}  // namespace brimlo::hid
