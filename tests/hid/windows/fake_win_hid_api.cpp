#include "fake_win_hid_api.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include <gtest/gtest.h>

namespace brimlo::hid::testing {
namespace {

// Fake handles are 1-based device positions; the GUID is any fixed value.
constexpr GUID kHidGuid = {
    0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const auto kDeviceInfo = reinterpret_cast<HDEVINFO>(std::uintptr_t{0x1000});
const auto kEmptyInfo = reinterpret_cast<HDEVINFO>(std::uintptr_t{0x2000});

template <typename T>
T HandleFor(std::size_t index) {
    return reinterpret_cast<T>(static_cast<std::uintptr_t>(index + 1));
}

// FormatMessageW's texts for the codes the tests use, with its trailing line break.
const wchar_t* SystemText(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            return L"The system cannot find the file specified.\r\n";
        case ERROR_ACCESS_DENIED:
            return L"Access is denied.\r\n";
        case ERROR_GEN_FAILURE:
            return L"A device attached to the system is not functioning.\r\n";
        default:
            return nullptr;
    }
}

}  // namespace

FakeWinDevice* FakeWinSystem::DeviceOf(HANDLE handle) {
    const auto index = reinterpret_cast<std::uintptr_t>(handle) - 1;
    return index < devices.size() ? &devices[index] : nullptr;
}

FakeWinDevice* FakeWinSystem::DeviceOf(PHIDP_PREPARSED_DATA data) {
    return DeviceOf(reinterpret_cast<HANDLE>(data));
}

WinHidApi FakeWinSystem::Api() {
    WinHidApi api;
    api.HidD_GetHidGuid = [](LPGUID guid) { *guid = kHidGuid; };
    api.SetupDiGetClassDevsW = [this](const GUID* guid, PCWSTR, HWND, DWORD flags) {
        if (listError != 0 || std::memcmp(guid, &kHidGuid, sizeof kHidGuid) != 0 ||
            flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
            lastError_ = listError != 0 ? listError : ERROR_INVALID_PARAMETER;
            return static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
        }
        ++heldDeviceInfoLists;
        return kDeviceInfo;
    };
    api.SetupDiEnumDeviceInterfaces = [this](HDEVINFO info, PSP_DEVINFO_DATA, const GUID*,
                                             DWORD index, PSP_DEVICE_INTERFACE_DATA data) -> BOOL {
        if (info != kDeviceInfo || data->cbSize != sizeof *data) {
            lastError_ = ERROR_INVALID_PARAMETER;
            return FALSE;
        }
        if (index >= devices.size()) {
            lastError_ = ERROR_NO_MORE_ITEMS;
            return FALSE;
        }
        data->Reserved = index;
        return TRUE;
    };
    api.SetupDiGetDeviceInterfaceDetailW =
        [this](HDEVINFO, PSP_DEVICE_INTERFACE_DATA data, PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
               DWORD size, PDWORD required, PSP_DEVINFO_DATA deviceData) -> BOOL {
        const FakeWinDevice& device = devices[data->Reserved];
        if (device.detailFails) {
            lastError_ = ERROR_GEN_FAILURE;
            return FALSE;
        }
        const DWORD needed =
            static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                               (device.path.size() + 1) * sizeof(wchar_t));
        if (required != nullptr) {
            *required = needed;
        }
        if (detail == nullptr || size < needed) {
            lastError_ = ERROR_INSUFFICIENT_BUFFER;
            return FALSE;
        }
        if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            lastError_ = ERROR_INVALID_USER_BUFFER;
            return FALSE;
        }
        std::wmemcpy(detail->DevicePath, device.path.c_str(), device.path.size() + 1);
        // The device only with the whole detail, as some Windows versions do.
        if (deviceData != nullptr) {
            if (deviceData->cbSize != sizeof *deviceData) {
                lastError_ = ERROR_INVALID_USER_BUFFER;
                return FALSE;
            }
            deviceData->DevInst = device.devNode;
        }
        return TRUE;
    };
    api.SetupDiDestroyDeviceInfoList = [this](HDEVINFO) -> BOOL {
        --heldDeviceInfoLists;
        return TRUE;
    };
    api.SetupDiCreateDeviceInfoList = [this](const GUID* guid, HWND) {
        EXPECT_EQ(guid, nullptr);
        ++heldDeviceInfoLists;
        return kEmptyInfo;
    };
    api.SetupDiOpenDeviceInterfaceW = [this](HDEVINFO info, PCWSTR path, DWORD,
                                             PSP_DEVICE_INTERFACE_DATA data) -> BOOL {
        if (info != kEmptyInfo || data->cbSize != sizeof *data) {
            lastError_ = ERROR_INVALID_PARAMETER;
            return FALSE;
        }
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].path == path) {
                data->Reserved = i;
                return TRUE;
            }
        }
        lastError_ = ERROR_NO_SUCH_DEVICE_INTERFACE;
        return FALSE;
    };
    api.CM_Get_Parent = [this](PDEVINST parent, DEVINST node, ULONG) -> CONFIGRET {
        const auto found = devNodes.find(node);
        if (found == devNodes.end() || found->second.parent == 0) {
            return CR_NO_SUCH_DEVNODE;
        }
        *parent = found->second.parent;
        return CR_SUCCESS;
    };
    // Only the location paths, as Windows gives them: one string after another, the list ended
    // by an empty one.
    api.CM_Get_DevNode_PropertyW = [this](DEVINST node, const DEVPROPKEY* key, DEVPROPTYPE* type,
                                          PBYTE buffer, PULONG size, ULONG) -> CONFIGRET {
        const auto found = devNodes.find(node);
        if (found == devNodes.end()) {
            return CR_NO_SUCH_DEVNODE;
        }
        constexpr GUID kLocationGuid = {
            0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}};
        if (std::memcmp(&key->fmtid, &kLocationGuid, sizeof kLocationGuid) != 0 || key->pid != 37 ||
            found->second.locationPaths.empty()) {
            return CR_NO_SUCH_VALUE;
        }
        std::wstring list;
        for (const std::wstring& path : found->second.locationPaths) {
            list += path + L'\0';
        }
        list += L'\0';
        const auto needed = static_cast<ULONG>(list.size() * sizeof(wchar_t));
        const ULONG offered = *size;
        *size = needed;
        if (buffer == nullptr || offered < needed) {
            return CR_BUFFER_SMALL;
        }
        *type = DEVPROP_TYPE_STRING_LIST;
        std::memcpy(buffer, list.data(), needed);
        return CR_SUCCESS;
    };
    api.CreateFileW = [this](LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD,
                             DWORD, HANDLE) -> HANDLE {
        opened.emplace_back(path);
        openAccess.push_back(access);
        openShare.push_back(share);
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].path == path) {
                if (devices[i].openError != 0) {
                    lastError_ = devices[i].openError;
                    return INVALID_HANDLE_VALUE;
                }
                ++openHandles;
                return HandleFor<HANDLE>(i);
            }
        }
        lastError_ = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    };
    api.CloseHandle = [this](HANDLE) -> BOOL {
        --openHandles;
        ++closes;
        return TRUE;
    };
    api.GetLastError = [this] { return lastError_; };
    api.FormatMessageW = [](DWORD, LPCVOID, DWORD code, DWORD, LPWSTR buffer, DWORD size) -> DWORD {
        const wchar_t* text = SystemText(code);
        if (text == nullptr || std::wcslen(text) >= size) {
            return 0;
        }
        std::wcscpy(buffer, text);
        return static_cast<DWORD>(std::wcslen(text));
    };
    api.HidD_GetAttributes = [this](HANDLE handle, PHIDD_ATTRIBUTES attributes) -> BOOLEAN {
        const FakeWinDevice* device = DeviceOf(handle);
        attributes->VendorID = device->vendorId;
        attributes->ProductID = device->productId;
        attributes->VersionNumber = 0x0100;
        return TRUE;
    };
    // Copies as many units as the buffer holds, the terminator only when it fits.
    api.HidD_GetSerialNumberString = [this](HANDLE handle, PVOID buffer, ULONG length) -> BOOLEAN {
        const FakeWinDevice* device = DeviceOf(handle);
        serialLengths.push_back(length);
        if (!device->serial) {
            lastError_ = ERROR_INVALID_PARAMETER;
            return FALSE;
        }
        const std::wstring& serial = *device->serial;
        std::wmemcpy(static_cast<wchar_t*>(buffer), serial.c_str(),
                     std::min<std::size_t>(serial.size() + 1, length / sizeof(wchar_t)));
        return TRUE;
    };
    api.HidD_GetPreparsedData = [this](HANDLE handle, PHIDP_PREPARSED_DATA* data) -> BOOLEAN {
        ++heldPreparsedData;
        *data = reinterpret_cast<PHIDP_PREPARSED_DATA>(handle);
        return TRUE;
    };
    api.HidD_FreePreparsedData = [this](PHIDP_PREPARSED_DATA) -> BOOLEAN {
        --heldPreparsedData;
        return TRUE;
    };
    api.HidP_GetCaps = [this](PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) -> NTSTATUS {
        *caps = DeviceOf(data)->caps;
        return HIDP_STATUS_SUCCESS;
    };
    api.HidP_GetButtonCaps = [this](HIDP_REPORT_TYPE type, PHIDP_BUTTON_CAPS caps, PUSHORT length,
                                    PHIDP_PREPARSED_DATA data) -> NTSTATUS {
        const auto& list = DeviceOf(data)->buttons[type];
        if (*length < list.size()) {
            return HIDP_STATUS_BUFFER_TOO_SMALL;
        }
        std::copy(list.begin(), list.end(), caps);
        *length = static_cast<USHORT>(list.size());
        return HIDP_STATUS_SUCCESS;
    };
    api.HidP_GetValueCaps = [this](HIDP_REPORT_TYPE type, PHIDP_VALUE_CAPS caps, PUSHORT length,
                                   PHIDP_PREPARSED_DATA data) -> NTSTATUS {
        const auto& list = DeviceOf(data)->values[type];
        if (*length < list.size()) {
            return HIDP_STATUS_BUFFER_TOO_SMALL;
        }
        std::copy(list.begin(), list.end(), caps);
        *length = static_cast<USHORT>(list.size());
        return HIDP_STATUS_SUCCESS;
    };
    api.HidP_GetLinkCollectionNodes = [this](PHIDP_LINK_COLLECTION_NODE nodes, PULONG length,
                                             PHIDP_PREPARSED_DATA data) -> NTSTATUS {
        const auto& list = DeviceOf(data)->nodes;
        if (*length < list.size()) {
            return HIDP_STATUS_BUFFER_TOO_SMALL;
        }
        std::copy(list.begin(), list.end(), nodes);
        *length = static_cast<ULONG>(list.size());
        return HIDP_STATUS_SUCCESS;
    };
    api.HidD_SetOutputReport = [this](HANDLE, PVOID buffer, ULONG length) -> BOOLEAN {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        outputs.emplace_back(bytes, bytes + length);
        return TRUE;
    };
    api.HidD_GetInputReport = [this](HANDLE handle, PVOID buffer, ULONG length) -> BOOLEAN {
        FakeWinDevice* device = DeviceOf(handle);
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        inputLengths.push_back(length);
        inputFirstBytes.push_back(bytes[0]);
        if (device->getInputError != 0) {
            lastError_ = device->getInputError;
            return FALSE;
        }
        std::copy_n(device->inputReply.begin(),
                    std::min<std::size_t>(length, device->inputReply.size()), bytes);
        return TRUE;
    };
    return api;
}

}  // namespace brimlo::hid::testing
