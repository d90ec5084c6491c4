#include "hid/windows/win_hid_api.h"

namespace brimlo::hid {

const WinHidApi& SystemWinHidApi() {
    static const WinHidApi api{
        .HidD_GetHidGuid = ::HidD_GetHidGuid,
        .SetupDiGetClassDevsW = ::SetupDiGetClassDevsW,
        .SetupDiEnumDeviceInterfaces = ::SetupDiEnumDeviceInterfaces,
        .SetupDiGetDeviceInterfaceDetailW = ::SetupDiGetDeviceInterfaceDetailW,
        .SetupDiDestroyDeviceInfoList = ::SetupDiDestroyDeviceInfoList,
        .SetupDiCreateDeviceInfoList = ::SetupDiCreateDeviceInfoList,
        .SetupDiOpenDeviceInterfaceW = ::SetupDiOpenDeviceInterfaceW,
        .CM_Get_Parent = ::CM_Get_Parent,
        .CM_Get_DevNode_PropertyW = ::CM_Get_DevNode_PropertyW,
        .CreateFileW = ::CreateFileW,
        .CloseHandle = ::CloseHandle,
        .GetLastError = ::GetLastError,
        .FormatMessageW =
            [](DWORD flags, LPCVOID source, DWORD id, DWORD language, LPWSTR buffer, DWORD size) {
                return ::FormatMessageW(flags, source, id, language, buffer, size, nullptr);
            },
        .HidD_GetAttributes = ::HidD_GetAttributes,
        .HidD_GetSerialNumberString = ::HidD_GetSerialNumberString,
        .HidD_GetPreparsedData = ::HidD_GetPreparsedData,
        .HidD_FreePreparsedData = ::HidD_FreePreparsedData,
        .HidP_GetCaps = ::HidP_GetCaps,
        .HidP_GetButtonCaps = ::HidP_GetButtonCaps,
        .HidP_GetValueCaps = ::HidP_GetValueCaps,
        .HidP_GetLinkCollectionNodes = ::HidP_GetLinkCollectionNodes,
        .HidD_SetOutputReport = ::HidD_SetOutputReport,
        .HidD_GetInputReport = ::HidD_GetInputReport,
    };
    return api;
}

}  // namespace brimlo::hid
