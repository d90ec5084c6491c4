#pragma once
// Hotplug events of the hidraw class from udev's monitor.

#include <map>
#include <memory>
#include <string>

#include "hid/hotplug_monitor.h"

struct udev;
struct udev_monitor;

namespace brimlo::hid {

class UdevHotplugMonitor final : public HotplugMonitor {
  public:
    // Listening from now on; null with `error` naming the failing call.
    static std::unique_ptr<UdevHotplugMonitor> Create(std::string& error);
    ~UdevHotplugMonitor() override;
    UdevHotplugMonitor(const UdevHotplugMonitor&) = delete;
    UdevHotplugMonitor& operator=(const UdevHotplugMonitor&) = delete;

    int EventFd() const override;
    std::optional<Clock::time_point> NextChangeDue() const override { return std::nullopt; }
    void Settle() override;
    std::uint64_t PlugGeneration(const std::string& path) const override;

  private:
    UdevHotplugMonitor(udev* context, udev_monitor* monitor)
        : context_(context), monitor_(monitor) {}
    udev* context_;
    udev_monitor* monitor_;
    std::map<std::string, std::uint64_t> generations_;  // by node, counting adds and removes
};

}  // namespace brimlo::hid
