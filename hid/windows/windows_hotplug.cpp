#include "hid/windows/windows_hotplug.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "files/utf16_text.h"

namespace brimlo::hid {
namespace {

std::string Key(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return path;
}

}  // namespace

CmNotifyApi SystemCmNotifyApi() {
    CmNotifyApi api;
    const HMODULE module = ::GetModuleHandleW(L"cfgmgr32.dll");
    if (module == nullptr) {
        return api;
    }
    // Through void(*)(): GetProcAddress's type says nothing of the function's.
    const auto registerCall = reinterpret_cast<CONFIGRET(WINAPI*)(
        PCM_NOTIFY_FILTER, PVOID, PCM_NOTIFY_CALLBACK, PHCMNOTIFICATION)>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "CM_Register_Notification")));
    const auto unregisterCall = reinterpret_cast<CONFIGRET(WINAPI*)(HCMNOTIFICATION)>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "CM_Unregister_Notification")));
    if (registerCall != nullptr && unregisterCall != nullptr) {
        api.CM_Register_Notification = registerCall;
        api.CM_Unregister_Notification = unregisterCall;
    }
    return api;
}

WindowsHotplugMonitor::WindowsHotplugMonitor(CmNotifyApi api)
    : api_(std::move(api)), event_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

std::unique_ptr<WindowsHotplugMonitor> WindowsHotplugMonitor::Start(CmNotifyApi api,
                                                                    std::string& error) {
    if (!api.CM_Register_Notification) {
        error =
            "this Windows cannot tell when boards are plugged in (its cfgmgr32.dll has no "
            "CM_Register_Notification, which came with Windows 8): use flash burn --all "
            "(or flash verify --all, flash id --all) with the boards plugged in";
        return nullptr;
    }
    std::unique_ptr<WindowsHotplugMonitor> monitor(new WindowsHotplugMonitor(std::move(api)));
    ::HidD_GetHidGuid(&monitor->hidClass_);
    CM_NOTIFY_FILTER filter{};
    filter.cbSize = sizeof filter;
    filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
    filter.u.DeviceInterface.ClassGuid = monitor->hidClass_;
    const CONFIGRET result = monitor->api_.CM_Register_Notification(
        &filter, monitor.get(), &WindowsHotplugMonitor::OnNotify, &monitor->registration_);
    if (monitor->event_ == nullptr || result != CR_SUCCESS) {
        monitor->registration_ = nullptr;
        error =
            "Windows does not notify this program of HID devices plugged in (configuration "
            "manager error " +
            std::to_string(result) + ")";
        return nullptr;
    }
    return monitor;
}

WindowsHotplugMonitor::~WindowsHotplugMonitor() {
    // Waits for callbacks in progress: none runs once this returns.
    if (registration_ != nullptr) {
        api_.CM_Unregister_Notification(registration_);
    }
    if (event_ != nullptr) {
        ::CloseHandle(event_);
    }
}

DWORD CALLBACK WindowsHotplugMonitor::OnNotify(HCMNOTIFICATION, PVOID context,
                                               CM_NOTIFY_ACTION action, PCM_NOTIFY_EVENT_DATA data,
                                               DWORD size) {
    auto& monitor = *static_cast<WindowsHotplugMonitor*>(context);
    const std::size_t linkAt = offsetof(CM_NOTIFY_EVENT_DATA, u.DeviceInterface.SymbolicLink);
    if ((action != CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL &&
         action != CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL) ||
        data == nullptr || size <= linkAt ||
        data->FilterType != CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE ||
        data->u.DeviceInterface.ClassGuid != monitor.hidClass_) {
        return ERROR_SUCCESS;
    }
    // The link ends at its terminator or at the end of the data, whichever comes first.
    const std::wstring_view link(data->u.DeviceInterface.SymbolicLink,
                                 (size - linkAt) / sizeof(WCHAR));
    const std::string path = Key(files::Utf8FromUtf16(link.substr(0, link.find(L'\0'))));
    {
        const std::lock_guard lock(monitor.mutex_);
        ++monitor.seen_[path];
    }
    ::SetEvent(monitor.event_);
    return ERROR_SUCCESS;
}

void WindowsHotplugMonitor::Settle() {
    const std::lock_guard lock(mutex_);
    settled_ = seen_;
}

std::uint64_t WindowsHotplugMonitor::PlugGeneration(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const auto found = settled_.find(Key(path));
    return found == settled_.end() ? 0 : found->second;
}

}  // namespace brimlo::hid
