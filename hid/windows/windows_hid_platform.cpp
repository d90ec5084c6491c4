#include "hid/windows/windows_hid_platform.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "files/utf16_text.h"
#include "hid/windows/windows_errors.h"
#include "hid/windows/windows_hid_connection.h"
#include "hid/windows/windows_usb_port.h"

namespace brimlo::hid {
namespace {

// The device path of the interface `data` names and, when `device` is given, its device
// node: the detail is asked for twice, first for its size, as Windows fills the rest in only
// when the whole detail fits.
bool ReadInterfaceDetail(const WinHidApi& api, HDEVINFO info, SP_DEVICE_INTERFACE_DATA& data,
                         std::wstring& path, PSP_DEVINFO_DATA device) {
    DWORD size = 0;
    if (api.SetupDiGetDeviceInterfaceDetailW(info, &data, nullptr, 0, &size, nullptr) ||
        api.GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return false;
    }
    // DWORD-aligned storage for the variable-length detail structure.
    std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_W>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!api.SetupDiGetDeviceInterfaceDetailW(info, &data, detail, size, nullptr, device)) {
        return false;
    }
    const std::size_t maxChars =
        (size - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
    std::wstring_view devicePath(detail->DevicePath, maxChars);
    path = devicePath.substr(0, devicePath.find(L'\0'));
    return !path.empty();
}

class WindowsInterfaceSet final : public HidInterfaceSet {
  public:
    WindowsInterfaceSet(const WinHidApi& api, HDEVINFO info, const GUID& guid)
        : api_(api), info_(info), guid_(guid) {}
    ~WindowsInterfaceSet() override { api_.SetupDiDestroyDeviceInfoList(info_); }
    WindowsInterfaceSet(const WindowsInterfaceSet&) = delete;
    WindowsInterfaceSet& operator=(const WindowsInterfaceSet&) = delete;

    Status InterfacePath(std::uint32_t index, std::string& path) override {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!api_.SetupDiEnumDeviceInterfaces(info_, nullptr, &guid_, index, &data)) {
            return api_.GetLastError() == ERROR_NO_MORE_ITEMS ? Status::NoMoreItems
                                                              : Status::Failed;
        }
        std::wstring devicePath;
        if (!ReadInterfaceDetail(api_, info_, data, devicePath, nullptr)) {
            return Status::Failed;
        }
        path = files::Utf8FromUtf16(devicePath);
        return Status::Ok;
    }

  private:
    const WinHidApi& api_;
    HDEVINFO info_;
    GUID guid_;
};

// The device node of the interface at `path`, through SetupAPI: the configuration manager's
// own call for it is missing from Windows 7 and from Wine.
bool InterfaceDevNode(const WinHidApi& api, const std::wstring& path, DEVINST& node) {
    HDEVINFO info = api.SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (info == INVALID_HANDLE_VALUE) {
        return false;
    }
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    std::wstring detailPath;
    const bool found = api.SetupDiOpenDeviceInterfaceW(info, path.c_str(), 0, &data) &&
                       ReadInterfaceDetail(api, info, data, detailPath, &device);
    api.SetupDiDestroyDeviceInfoList(info);
    node = device.DevInst;
    return found && node != 0;
}

// A USB string descriptor holds at most 126 UTF-16 units; room for one more and a terminator.
constexpr std::size_t kSerialChars = 127 + 1;

}  // namespace

BoardLocation WindowsHidPlatform::Locate(const std::string& path) {
    BoardLocation location;
    const std::wstring widePath = files::Utf16FromUtf8(path);
    if (DEVINST node = 0; InterfaceDevNode(api_, widePath, node)) {
        location.port = UsbPortOfDevNode(api_, node);
    }
    // No access asked for: reading the serial works even while another program holds the device.
    HANDLE handle = api_.CreateFileW(widePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return location;
    }
    std::array<wchar_t, kSerialChars> serial{};
    if (api_.HidD_GetSerialNumberString(handle, serial.data(), static_cast<ULONG>(sizeof serial))) {
        // Terminated here too, in case the string filled the whole buffer.
        serial.back() = L'\0';
        location.serial = files::Utf8FromUtf16(std::wstring_view(serial.data()));
    }
    api_.CloseHandle(handle);
    return location;
}

std::unique_ptr<HidInterfaceSet> WindowsHidPlatform::PresentInterfaces(std::string& error) {
    GUID guid{};
    api_.HidD_GetHidGuid(&guid);
    HDEVINFO info =
        api_.SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (info == INVALID_HANDLE_VALUE) {
        error = "SetupDiGetClassDevsW failed: " + WindowsErrorText(api_, api_.GetLastError());
        return nullptr;
    }
    return std::make_unique<WindowsInterfaceSet>(api_, info, guid);
}

std::unique_ptr<HidConnection> WindowsHidPlatform::Open(const std::string& path,
                                                        const HidOpenOptions& /*options*/,
                                                        std::string& error) {
    HANDLE handle =
        api_.CreateFileW(files::Utf16FromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = api_.GetLastError();
        error = path + ": cannot open: " + WindowsErrorText(api_, code);
        if (code == ERROR_ACCESS_DENIED) {
            error +=
                "; Windows keeps keyboards and mice to itself, and another program may "
                "hold this device: close it and try again";
        }
        return nullptr;
    }
    return std::make_unique<WindowsHidConnection>(api_, handle, path);
}

}  // namespace brimlo::hid
