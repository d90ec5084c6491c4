#pragma once
// Windows' device-interface notifications for the HID class, as a HotplugMonitor: the
// configuration manager calls back on a thread of its own for each HID interface that comes or
// goes, and the station's wait wakes on the monitor's event. No window, no polling.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "hid/hotplug_monitor.h"
#include "hid/windows/windows_headers.h"

namespace brimlo::hid {

// The two cfgmgr32 calls, as a table so that tests play the system's part. They came with
// Windows 8: looked up at run time, so the tool still starts where they are missing (Wine 8).
struct CmNotifyApi {
    std::function<CONFIGRET(PCM_NOTIFY_FILTER, PVOID, PCM_NOTIFY_CALLBACK, PHCMNOTIFICATION)>
        CM_Register_Notification;
    std::function<CONFIGRET(HCMNOTIFICATION)> CM_Unregister_Notification;
};

// This machine's calls; empty entries when its cfgmgr32 has none.
CmNotifyApi SystemCmNotifyApi();

class WindowsHotplugMonitor final : public HotplugMonitor {
  public:
    // Registers for the HID interface class. Null, with `error` saying what to do, when the
    // system cannot notify.
    static std::unique_ptr<WindowsHotplugMonitor> Start(CmNotifyApi api, std::string& error);
    ~WindowsHotplugMonitor() override;
    WindowsHotplugMonitor(const WindowsHotplugMonitor&) = delete;
    WindowsHotplugMonitor& operator=(const WindowsHotplugMonitor&) = delete;

    int EventFd() const override { return -1; }
    void* EventHandle() const override { return event_; }
    std::optional<Clock::time_point> NextChangeDue() const override { return std::nullopt; }
    void Settle() override;
    std::uint64_t PlugGeneration(const std::string& path) const override;

    // The system's callback, with `context` this monitor.
    static DWORD CALLBACK OnNotify(HCMNOTIFICATION, PVOID context, CM_NOTIFY_ACTION action,
                                   PCM_NOTIFY_EVENT_DATA data, DWORD size);

  private:
    explicit WindowsHotplugMonitor(CmNotifyApi api);

    CmNotifyApi api_;
    HANDLE event_;
    HCMNOTIFICATION registration_ = nullptr;
    GUID hidClass_{};
    mutable std::mutex mutex_;
    // By interface path in lower case (the system's notifications and its lists may differ in
    // case): bumped by each arrival and removal as the callbacks come, and as last settled.
    std::map<std::string, std::uint64_t> seen_;
    std::map<std::string, std::uint64_t> settled_;
};

}  // namespace brimlo::hid
