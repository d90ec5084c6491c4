#pragma once
// Tells a waiting front end that interfaces may have come or gone, so it lists them again only
// then: from the system's hotplug events, or from a script of plug times.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace brimlo::hid {

class HotplugMonitor {
  public:
    using Clock = std::chrono::steady_clock;
    virtual ~HotplugMonitor() = default;
    // A descriptor that becomes readable when an interface comes or goes; -1 when none.
    virtual int EventFd() const = 0;
    // On Windows, an event handle signalled when an interface comes or goes; null when none.
    virtual void* EventHandle() const { return nullptr; }
    // When the next change falls due without an event on EventFd(); nothing when none will.
    virtual std::optional<Clock::time_point> NextChangeDue() const = 0;
    // Takes the events that arrived and applies the changes that fell due; after every wake-up.
    virtual void Settle() = 0;
    // A number that changes when the interface at `path` is unplugged and plugged in again, as
    // far as the changes settled so far tell, however quickly it came back: an interface
    // listed twice with the same number was not replugged in between.
    virtual std::uint64_t PlugGeneration(const std::string& path) const = 0;
};

}  // namespace brimlo::hid
