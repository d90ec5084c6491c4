#pragma once
// A scripted Windows system behind the WinHidApi table: a list of HID interfaces with the
// structures hid.dll would give for them, and a record of the calls made.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hid/windows/win_hid_api.h"

namespace brimlo::hid::testing {

struct FakeWinDevice {
    std::wstring path;
    USHORT vendorId = 0;
    USHORT productId = 0;
    HIDP_CAPS caps{};
    std::vector<HIDP_BUTTON_CAPS> buttons[3];  // by HIDP_REPORT_TYPE
    std::vector<HIDP_VALUE_CAPS> values[3];
    std::vector<HIDP_LINK_COLLECTION_NODE> nodes;
    DWORD openError = 0;                   // CreateFileW fails with it when set
    bool detailFails = false;              // SetupDiGetDeviceInterfaceDetailW fails
    DWORD getInputError = 0;               // HidD_GetInputReport fails with it when set
    std::optional<std::wstring> serial;    // none: HidD_GetSerialNumberString fails
    std::vector<std::uint8_t> inputReply;  // written from the buffer's start
    DEVINST devNode = 0;                   // the device node of the interface, 0 for none
};

// A node of the device tree: its parent (0 at the top) and its location paths, when it has
// any.
struct FakeDevNode {
    DEVINST parent = 0;
    std::vector<std::wstring> locationPaths{};
};

class FakeWinSystem {
  public:
    std::vector<FakeWinDevice> devices;
    DWORD listError = 0;  // SetupDiGetClassDevsW fails with it when set
    std::map<DEVINST, FakeDevNode> devNodes;

    // What was called.
    std::vector<std::wstring> opened;
    std::vector<DWORD> openAccess;
    std::vector<DWORD> openShare;
    std::vector<ULONG> serialLengths;                // HidD_GetSerialNumberString's buffer lengths
    std::vector<ULONG> inputLengths;                 // HidD_GetInputReport's buffer lengths
    std::vector<std::uint8_t> inputFirstBytes;       // and the byte it found at buffer[0]
    std::vector<std::vector<std::uint8_t>> outputs;  // HidD_SetOutputReport's buffers
    int openHandles = 0;
    int closes = 0;
    int heldPreparsedData = 0;
    int heldDeviceInfoLists = 0;  // by both the class list and the lists to open an interface in

    WinHidApi Api();

  private:
    FakeWinDevice* DeviceOf(HANDLE handle);
    FakeWinDevice* DeviceOf(PHIDP_PREPARSED_DATA data);
    DWORD lastError_ = 0;
};

}  // namespace brimlo::hid::testing
