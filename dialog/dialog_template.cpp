#include "dialog/dialog_template.h"

#include <array>

#include "session/version.h"

namespace brimlo::app {
namespace {

using K = ControlKind;
using A = TextAlign;

constexpr std::array kMainControls = std::to_array<ControlTemplate>({
    {kIdOk, K::DefaultPushButton, "OK", {141, 336, 50, 14}, A::Left, "OK"},

    {kNoId, K::GroupBox, "Device Setting", {3, 1, 313, 26}, A::Left, "Device Setting"},
    {kNoId, K::Label, "Device VID : 0x", {15, 12, 51, 8}, A::Left, "Device VID : 0x"},
    {kIdVendorId, K::HexEntry, "", {67, 9, 29, 14}, A::Centre, "USB vendor identifier"},
    {kNoId, K::Label, "PID : 0x", {106, 12, 26, 8}, A::Left, "PID : 0x"},
    {kIdProductId, K::HexEntry, "", {135, 9, 29, 14}, A::Centre, "USB product identifier"},
    {kIdOpenDevice, K::PushButton, "Open Device", {196, 9, 50, 14}, A::Left, "Open Device"},
    {kNoId, K::Label, "HID Device Info:", {6, 32, 53, 8}, A::Left, "HID Device Info:"},
    {kIdDeviceInfo, K::ReadOnlyEntry, "", {62, 30, 253, 14}, A::Left, "HID device description"},

    {kNoId,
     K::GroupBox,
     "Peripheral Read && Write",
     {3, 46, 319, 62},
     A::Left,
     "Peripheral Read & Write"},
    {kIdRegister, K::RadioButton, "Register", {7, 57, 43, 10}, A::Left, "Register"},
    {kNoId, K::Label, "Addr : 0x", {54, 58, 33, 8}, A::Left, "Addr : 0x"},
    {kIdRegisterAddress, K::HexEntry, "", {89, 55, 40, 14}, A::Left, "register address"},
    {kNoId, K::Label, "Value : 0x", {149, 58, 34, 8}, A::Left, "Value : 0x"},
    {kIdRegisterValue, K::HexEntry, "", {186, 55, 40, 14}, A::Right, "register value"},
    {kIdRead, K::PushButton, "Read", {268, 54, 50, 14}, A::Left, "Read"},
    {kIdIic, K::RadioButton, "IIC", {7, 74, 25, 10}, A::Left, "IIC"},
    {kNoId, K::Label, "Addr : 0x", {43, 76, 31, 8}, A::Left, "Addr : 0x"},
    {kIdIicAddress, K::HexEntry, "", {77, 73, 27, 14}, A::Centre, "IIC device address"},
    {kNoId, K::Label, "Data : 0x", {115, 76, 31, 8}, A::Left, "Data : 0x"},
    {kIdIicData, K::HexEntry, "", {150, 73, 27, 14}, A::Centre, "IIC data"},
    {kNoId, K::Label, "Ret cocde : 0x", {189, 76, 48, 8}, A::Left, "Ret cocde : 0x"},
    {kIdIicReturnCode, K::HexEntry, "", {238, 73, 27, 14}, A::Centre, "IIC return code"},
    {kIdWrite, K::PushButton, "Write", {268, 72, 50, 14}, A::Left, "Write"},
    {kIdGpio, K::RadioButton, "GPIO", {7, 91, 32, 10}, A::Left, "GPIO"},
    {kNoId, K::Label, "Number", {42, 92, 27, 8}, A::Left, "Number"},
    {kIdGpioNumber, K::ComboBox, "", {70, 91, 42, 12}, A::Left, "GPIO number"},
    {kNoId, K::Label, "Direction", {118, 92, 30, 8}, A::Left, "Direction"},
    {kIdGpioDirection, K::ComboBox, "", {149, 91, 42, 30}, A::Left, "GPIO direction"},
    {kNoId, K::Label, "Value", {213, 93, 19, 8}, A::Left, "Value"},
    {kIdGpioValue, K::HexEntry, "", {237, 90, 27, 14}, A::Centre, "GPIO value"},
    {kIdSetGpio, K::PushButton, "Set GPIO", {268, 90, 50, 14}, A::Left, "Set GPIO"},

    {kNoId, K::GroupBox, "Flash Information", {4, 111, 322, 200}, A::Left, "Flash Information"},
    {kNoId, K::Label, "Device Name :", {10, 121, 49, 8}, A::Left, "Device Name :"},
    {kIdDeviceName, K::Label, "", {64, 121, 55, 8}, A::Left, "flash device name"},
    {kNoId, K::Label, "Page Size     :", {10, 131, 47, 8}, A::Left, "Page Size :"},
    {kIdPageSize, K::Label, "", {64, 131, 55, 8}, A::Left, "page size"},
    {kNoId, K::Label, "Sector Size   :", {10, 141, 47, 8}, A::Left, "Sector Size :"},
    {kIdSectorSize, K::Label, "", {64, 141, 55, 8}, A::Left, "sector size"},
    {kNoId, K::Label, "Total Block    :", {10, 151, 50, 8}, A::Left, "Total Block :"},
    {kIdTotalBlock, K::Label, "", {64, 151, 55, 8}, A::Left, "total blocks"},
    {kNoId, K::Label, "Device ID            :", {151, 121, 63, 8}, A::Left, "Device ID :"},
    {kIdDeviceId, K::Label, "", {220, 121, 55, 8}, A::Left, "flash device ID"},
    {kNoId, K::Label, "Pages per Sector :", {151, 131, 68, 8}, A::Left, "Pages per Sector :"},
    {kIdPagesPerSector, K::Label, "", {220, 131, 55, 8}, A::Left, "pages per sector"},
    {kNoId, K::Label, "Sectors per block :", {151, 141, 65, 8}, A::Left, "Sectors per block :"},
    {kIdSectorsPerBlock, K::Label, "", {220, 141, 55, 8}, A::Left, "sectors per block"},
    {kNoId, K::Label, "Total Size           :", {151, 151, 67, 8}, A::Left, "Total Size :"},
    {kIdTotalSize, K::Label, "", {220, 151, 55, 8}, A::Left, "total size"},
    {kNoId, K::Label, "Burn File:", {6, 169, 32, 8}, A::Left, "Burn File:"},
    {kIdBurnFile, K::Entry, "", {43, 166, 250, 14}, A::Left, "burn file"},
    {kIdBurnFileBrowse, K::PushButton, "...", {296, 166, 27, 14}, A::Left, "choose the burn file"},
    {kIdStatus, K::Label, "Static", {6, 183, 30, 21}, A::Left, "status"},
    {kIdProgress, K::ProgressBar, "", {43, 184, 190, 14}, A::Left, "transfer progress"},
    {kIdProgressCount, K::Label, "Static", {233, 187, 40, 8}, A::Right, "bytes done"},
    {kNoId, K::Label, "/", {273, 187, 8, 8}, A::Centre, "of"},
    {kIdProgressTotal, K::Label, "Static", {279, 187, 43, 8}, A::Left, "bytes in total"},
    {kNoId, K::Label, "Dump File:", {6, 203, 36, 8}, A::Left, "Dump File:"},
    {kIdDumpFile, K::Entry, "", {43, 201, 250, 14}, A::Left, "dump file"},
    {kIdDumpFileBrowse, K::PushButton, "...", {296, 201, 27, 14}, A::Left, "choose the dump file"},
    {kNoId, K::GroupBox, "Burn Area", {6, 217, 315, 36}, A::Left, "Burn Area"},
    {kIdEntireFlash, K::RadioButton, "Entire Flash", {11, 226, 54, 10}, A::Left, "Entire Flash"},
    {kIdOtherArea, K::RadioButton, "Other Area", {67, 226, 52, 10}, A::Left, "Other Area"},
    {kIdAreaFirmware, K::CheckBox, "Firmware", {122, 226, 47, 10}, A::Left, "Firmware"},
    {kIdAreaPrivateData, K::CheckBox, "Private Data", {122, 238, 55, 10}, A::Left, "Private Data"},
    {kIdAreaCustomizedData,
     K::CheckBox,
     "Customized Data",
     {183, 227, 71, 10},
     A::Left,
     "Customized Data"},
    {kNoId, K::GroupBox, "Version Info", {7, 252, 315, 35}, A::Left, "Version Info"},
    {kNoId, K::Label, ".hex :", {10, 267, 20, 8}, A::Left, ".hex :"},
    {kIdHexVersion, K::HexEntry, "", {31, 265, 49, 14}, A::Centre, "burn file version"},
    {kNoId, K::Label, "Firmware :", {88, 267, 38, 8}, A::Left, "Firmware :"},
    {kIdFirmwareVersion, K::HexEntry, "", {129, 265, 49, 14}, A::Centre, "firmware version"},
    {kIdGetFwVersion, K::PushButton, "Get FW Ver.", {202, 265, 50, 14}, A::Left, "Get FW Ver."},
    {kIdGetId, K::PushButton, "Get ID", {80, 293, 50, 14}, A::Left, "Get ID"},
    {kIdBurn, K::PushButton, "Burn", {141, 293, 50, 14}, A::Left, "Burn"},
    {kIdDump, K::PushButton, "Dump", {202, 293, 50, 14}, A::Left, "Dump"},

    {kNoId, K::Label, "HDMI Info:", {2, 318, 36, 8}, A::Left, "HDMI Info:"},
    {kIdHdmiInfo, K::ReadOnlyEntry, "", {39, 315, 237, 14}, A::Left, "HDMI information"},
    {kIdGetHdmiInfo,
     K::PushButton,
     "Get HDMI Info.",
     {277, 315, 50, 14},
     A::Left,
     "Get HDMI Info."},
});

constexpr std::array kAboutControls = std::to_array<ControlTemplate>({
    {kIdOk, K::DefaultPushButton, "OK", {113, 41, 50, 14}, A::Left, "OK"},
    {kNoId,
     K::Label,
     "BRIMLO HID Tool, Version 1.0.4.0",
     {42, 14, 114, 8},
     A::Left,
     "BRIMLO HID Tool, Version 1.0.4.0"},
    // The second line names this build, as --version does.
    {kNoId,
     K::Label,
     "brimlo-hid-tool " BRIMLO_VERSION,
     {42, 26, 114, 8},
     A::Left,
     "brimlo-hid-tool " BRIMLO_VERSION},
});

const DialogTemplate kMainDialog{"BRIMLO HID tool", 332, 358, kMainControls};
const DialogTemplate kAboutDialog{"About BRIMLO HID Tool", 170, 62, kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

}  // namespace brimlo::app
