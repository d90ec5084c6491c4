#pragma once
// The SetupAPI, cfgmgr32, hid.dll and kernel32 calls the Windows HID stack makes, as a table, so
// that the stack runs against a scripted system in tests. Each entry has the system call's
// signature.

#include <functional>

#include "hid/windows/windows_headers.h"

namespace brimlo::hid {

struct WinHidApi {
    std::function<void(LPGUID)> HidD_GetHidGuid;
    std::function<HDEVINFO(const GUID*, PCWSTR, HWND, DWORD)> SetupDiGetClassDevsW;
    std::function<BOOL(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA)>
        SetupDiEnumDeviceInterfaces;
    std::function<BOOL(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_W,
                       DWORD, PDWORD, PSP_DEVINFO_DATA)>
        SetupDiGetDeviceInterfaceDetailW;
    std::function<BOOL(HDEVINFO)> SetupDiDestroyDeviceInfoList;
    std::function<HDEVINFO(const GUID*, HWND)> SetupDiCreateDeviceInfoList;
    std::function<BOOL(HDEVINFO, PCWSTR, DWORD, PSP_DEVICE_INTERFACE_DATA)>
        SetupDiOpenDeviceInterfaceW;

    std::function<CONFIGRET(PDEVINST, DEVINST, ULONG)> CM_Get_Parent;
    std::function<CONFIGRET(DEVINST, const DEVPROPKEY*, DEVPROPTYPE*, PBYTE, PULONG, ULONG)>
        CM_Get_DevNode_PropertyW;

    std::function<HANDLE(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)>
        CreateFileW;
    std::function<BOOL(HANDLE)> CloseHandle;
    std::function<DWORD()> GetLastError;
    // Without the insert arguments, which are never passed.
    std::function<DWORD(DWORD, LPCVOID, DWORD, DWORD, LPWSTR, DWORD)> FormatMessageW;

    std::function<BOOLEAN(HANDLE, PHIDD_ATTRIBUTES)> HidD_GetAttributes;
    std::function<BOOLEAN(HANDLE, PVOID, ULONG)> HidD_GetSerialNumberString;
    std::function<BOOLEAN(HANDLE, PHIDP_PREPARSED_DATA*)> HidD_GetPreparsedData;
    std::function<BOOLEAN(PHIDP_PREPARSED_DATA)> HidD_FreePreparsedData;
    std::function<NTSTATUS(PHIDP_PREPARSED_DATA, PHIDP_CAPS)> HidP_GetCaps;
    std::function<NTSTATUS(HIDP_REPORT_TYPE, PHIDP_BUTTON_CAPS, PUSHORT, PHIDP_PREPARSED_DATA)>
        HidP_GetButtonCaps;
    std::function<NTSTATUS(HIDP_REPORT_TYPE, PHIDP_VALUE_CAPS, PUSHORT, PHIDP_PREPARSED_DATA)>
        HidP_GetValueCaps;
    std::function<NTSTATUS(PHIDP_LINK_COLLECTION_NODE, PULONG, PHIDP_PREPARSED_DATA)>
        HidP_GetLinkCollectionNodes;
    std::function<BOOLEAN(HANDLE, PVOID, ULONG)> HidD_SetOutputReport;
    std::function<BOOLEAN(HANDLE, PVOID, ULONG)> HidD_GetInputReport;
};

// The table of this machine's own calls.
const WinHidApi& SystemWinHidApi();

}  // namespace brimlo::hid
