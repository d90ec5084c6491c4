#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "boards/board_list.h"
#include "boards/interface_checks.h"
#include "fake_hid_platform.h"
#include "fake_win_hid_api.h"
#include "files/utf16_text.h"
#include "hid/hid_enumeration.h"
#include "hid/report_descriptor_parser.h"
#include "hid/windows/windows_errors.h"
#include "hid/windows/windows_hid_platform.h"
#include "hid/windows/windows_usb_port.h"

namespace brimlo::hid {
namespace {

constexpr USHORT kVendorPage = 0xFF00;
constexpr std::array<UCHAR, 3> kReportIds = {1, 2, 3};
constexpr std::array<USHORT, 3> kLengths = {4100, 64, 64};

// One vendor value of `count` bytes, as hid.dll describes it.
HIDP_VALUE_CAPS VendorValue(UCHAR reportId, USAGE usage, USHORT count, USHORT dataIndex) {
    HIDP_VALUE_CAPS caps{};
    caps.UsagePage = kVendorPage;
    caps.ReportID = reportId;
    caps.BitField = 0x02;
    caps.LinkUsage = 0x01;
    caps.LinkUsagePage = kVendorPage;
    caps.IsAbsolute = TRUE;
    caps.BitSize = 8;
    caps.ReportCount = count;
    caps.LogicalMax = 255;
    caps.NotRange.Usage = usage;
    caps.NotRange.DataIndex = dataIndex;
    return caps;
}

// The device's three channels as Windows reports them: per channel one input value (usage
// 0x20 + channel) and one output value (0x10 + channel) filling its report.
testing::FakeWinDevice ThreeChannelDevice(std::wstring path, USHORT vid, USHORT pid) {
    testing::FakeWinDevice device;
    device.path = std::move(path);
    device.vendorId = vid;
    device.productId = pid;
    device.caps.Usage = 0x01;
    device.caps.UsagePage = kVendorPage;
    device.caps.InputReportByteLength = 4100;
    device.caps.OutputReportByteLength = 4100;
    device.caps.NumberLinkCollectionNodes = 1;
    device.caps.NumberInputValueCaps = 3;
    device.caps.NumberInputDataIndices = 3;
    device.caps.NumberOutputValueCaps = 3;
    device.caps.NumberOutputDataIndices = 3;
    for (USHORT i = 0; i < 3; ++i) {
        const auto count = static_cast<USHORT>(kLengths[i] - 1);
        device.values[HidP_Input].push_back(
            VendorValue(kReportIds[i], static_cast<USAGE>(0x20 + i), count, i));
        device.values[HidP_Output].push_back(
            VendorValue(kReportIds[i], static_cast<USAGE>(0x10 + i), count, i));
    }
    HIDP_LINK_COLLECTION_NODE node{};
    node.LinkUsage = 0x01;
    node.LinkUsagePage = kVendorPage;
    node.CollectionType = 1;  // application
    device.nodes.push_back(node);
    return device;
}

HidPreparsedData ParsedThreeChannels() {
    HidPreparsedData parsed;
    ReportDescriptorError error;
    const auto descriptor = testing::VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64});
    EXPECT_TRUE(ParseReportDescriptor(descriptor, parsed, error)) << error.message;
    return parsed;
}

void ExpectSameValueCaps(const HidpValueCaps& windows, const HidpValueCaps& ours) {
    EXPECT_EQ(windows.UsagePage, ours.UsagePage);
    EXPECT_EQ(windows.ReportID, ours.ReportID);
    EXPECT_EQ(windows.BitField, ours.BitField);
    EXPECT_EQ(windows.LinkCollection, ours.LinkCollection);
    EXPECT_EQ(windows.LinkUsage, ours.LinkUsage);
    EXPECT_EQ(windows.LinkUsagePage, ours.LinkUsagePage);
    EXPECT_EQ(windows.IsRange, ours.IsRange);
    EXPECT_EQ(windows.IsAbsolute, ours.IsAbsolute);
    EXPECT_EQ(windows.Usage, ours.Usage);
    EXPECT_EQ(windows.UsageMin, ours.UsageMin);
    EXPECT_EQ(windows.UsageMax, ours.UsageMax);
    EXPECT_EQ(windows.DataIndexMin, ours.DataIndexMin);
    EXPECT_EQ(windows.DataIndexMax, ours.DataIndexMax);
    EXPECT_EQ(windows.BitSize, ours.BitSize);
    EXPECT_EQ(windows.ReportCount, ours.ReportCount);
    EXPECT_EQ(windows.LogicalMin, ours.LogicalMin);
    EXPECT_EQ(windows.LogicalMax, ours.LogicalMax);
}

TEST(WindowsHidCapabilities, TheThreeChannelsConvertToWhatOurParserMakesOfTheDescriptor) {
    testing::FakeWinSystem system;
    system.devices.push_back(ThreeChannelDevice(L"\\\\?\\hid#board", 0x1209, 0x0001));
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::string error;
    auto connection = platform.Open("\\\\?\\hid#board", {}, error);
    ASSERT_NE(connection, nullptr) << error;
    HidPreparsedData windows;
    ASSERT_TRUE(connection->GetCapabilities(windows, error)) << error;
    EXPECT_EQ(system.heldPreparsedData, 0);

    const HidPreparsedData ours = ParsedThreeChannels();
    EXPECT_EQ(windows.caps.Usage, ours.caps.Usage);
    EXPECT_EQ(windows.caps.UsagePage, ours.caps.UsagePage);
    EXPECT_EQ(windows.caps.InputReportByteLength, ours.caps.InputReportByteLength);
    EXPECT_EQ(windows.caps.OutputReportByteLength, ours.caps.OutputReportByteLength);
    EXPECT_EQ(windows.caps.FeatureReportByteLength, ours.caps.FeatureReportByteLength);
    EXPECT_EQ(windows.caps.NumberLinkCollectionNodes, ours.caps.NumberLinkCollectionNodes);
    EXPECT_EQ(windows.caps.NumberInputValueCaps, ours.caps.NumberInputValueCaps);
    EXPECT_EQ(windows.caps.NumberInputDataIndices, ours.caps.NumberInputDataIndices);
    EXPECT_EQ(windows.caps.NumberOutputValueCaps, ours.caps.NumberOutputValueCaps);
    EXPECT_EQ(windows.caps.NumberOutputDataIndices, ours.caps.NumberOutputDataIndices);
    for (HidReportType type : {HidReportType::Input, HidReportType::Output}) {
        const std::size_t t = ReportTypeIndex(type);
        ASSERT_EQ(windows.valueCaps[t].size(), 3u);
        ASSERT_EQ(ours.valueCaps[t].size(), 3u);
        EXPECT_TRUE(windows.buttonCaps[t].empty());
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE("report type " + std::to_string(t) + ", channel " + std::to_string(i));
            ExpectSameValueCaps(windows.valueCaps[t][i], ours.valueCaps[t][i]);
        }
    }
    ASSERT_EQ(windows.linkCollections.size(), ours.linkCollections.size());
    EXPECT_EQ(windows.linkCollections[0].LinkUsage, ours.linkCollections[0].LinkUsage);
    EXPECT_EQ(windows.linkCollections[0].LinkUsagePage, ours.linkCollections[0].LinkUsagePage);
    EXPECT_EQ(windows.linkCollections[0].CollectionType, ours.linkCollections[0].CollectionType);
}

TEST(WindowsHidCapabilities, RangesAndButtonCountsKeepTheirBounds) {
    testing::FakeWinSystem system;
    testing::FakeWinDevice device = ThreeChannelDevice(L"dev", 1, 1);
    HIDP_BUTTON_CAPS buttons{};
    buttons.UsagePage = 0x09;
    buttons.ReportID = 4;
    buttons.IsRange = TRUE;
    buttons.Range.UsageMin = 1;
    buttons.Range.UsageMax = 16;
    buttons.Range.DataIndexMin = 3;
    buttons.Range.DataIndexMax = 18;
    buttons.Reserved[0] = 16;  // where newer SDKs keep ReportCount
    device.buttons[HidP_Feature].push_back(buttons);
    device.caps.NumberFeatureButtonCaps = 1;
    system.devices.push_back(device);
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::string error;
    auto connection = platform.Open("dev", {}, error);
    ASSERT_NE(connection, nullptr) << error;
    HidPreparsedData data;
    ASSERT_TRUE(connection->GetCapabilities(data, error)) << error;
    const auto& converted = data.buttonCaps[ReportTypeIndex(HidReportType::Feature)];
    ASSERT_EQ(converted.size(), 1u);
    EXPECT_TRUE(converted[0].IsRange);
    EXPECT_EQ(converted[0].ReportID, 4);
    EXPECT_EQ(converted[0].UsageMin, 1);
    EXPECT_EQ(converted[0].UsageMax, 16);
    EXPECT_EQ(converted[0].DataIndexMin, 3);
    EXPECT_EQ(converted[0].DataIndexMax, 18);
    EXPECT_EQ(converted[0].ReportCount, 16);
    EXPECT_EQ(MaxUsageListLength(data, HidReportType::Feature, 0x09), 16u);
}

TEST(WindowsHidEnumeration, WalksInSetupApiOrderAndStopsAtTheFirstMatch) {
    testing::FakeWinSystem system;
    testing::FakeWinDevice keyboard = ThreeChannelDevice(L"\\\\?\\hid#keyboard", 0x046d, 0xc31c);
    keyboard.openError = ERROR_ACCESS_DENIED;
    testing::FakeWinDevice broken = ThreeChannelDevice(L"\\\\?\\hid#broken", 0x1209, 0x0001);
    broken.detailFails = true;
    system.devices = {keyboard, ThreeChannelDevice(L"\\\\?\\hid#other", 0x1209, 0x0002), broken,
                      ThreeChannelDevice(L"\\\\?\\hid#board-\u00e9", 0x1209, 0x0001),
                      ThreeChannelDevice(L"\\\\?\\hid#second-board", 0x1209, 0x0001)};
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    HidMatchState match;
    match.targetVendorId = 0x1209;
    match.targetProductId = 0x0001;
    std::vector<HidDeviceRecord> list;
    std::uint32_t matched = kNoMatchedIndex;
    ASSERT_TRUE(EnumerateHidInterfaces(platform, match, list, matched));

    EXPECT_EQ(matched, 3u);
    EXPECT_EQ(*list[3].devicePath, "\\\\?\\hid#board-\xc3\xa9");  // UTF-8 from UTF-16
    EXPECT_TRUE(list[3].IsOpen());
    EXPECT_EQ(list[3].caps.InputReportByteLength, 4100);
    EXPECT_EQ(list[3].inputValueCaps.size(), 3u);
    // The one that failed to describe itself is never opened; the walk stops at the match.
    const std::vector<std::wstring> opened = {L"\\\\?\\hid#keyboard", L"\\\\?\\hid#other",
                                              L"\\\\?\\hid#board-\u00e9"};
    EXPECT_EQ(system.opened, opened);
    for (std::size_t i = 0; i < system.opened.size(); ++i) {
        EXPECT_EQ(system.openAccess[i], DWORD{GENERIC_READ | GENERIC_WRITE});
        EXPECT_EQ(system.openShare[i], DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE});
    }
    // Another product is no failure; a refused open and an undescribed interface are.
    ASSERT_EQ(match.skipped.size(), 2u);
    EXPECT_NE(match.skipped[0].find("Access is denied. (error 5)"), std::string::npos)
        << match.skipped[0];
    EXPECT_EQ(match.skipped[1], "interface #2 could not be described");
    // Only the match holds a handle; preparsed data and the device list are all given back.
    EXPECT_EQ(system.openHandles, 1);
    EXPECT_EQ(system.heldPreparsedData, 0);
    EXPECT_EQ(system.heldDeviceInfoLists, 0);
    list.clear();
    EXPECT_EQ(system.openHandles, 0);
}

TEST(WindowsHidEnumeration, ARefusedListingIsAFailedWalk) {
    testing::FakeWinSystem system;
    system.listError = ERROR_ACCESS_DENIED;
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::string error;
    EXPECT_EQ(platform.PresentInterfaces(error), nullptr);
    EXPECT_EQ(error, "SetupDiGetClassDevsW failed: Access is denied. (error 5)");
    HidMatchState match;
    match.targetVendorId = 0x1209;
    match.targetProductId = 0x0001;
    std::vector<HidDeviceRecord> list;
    std::uint32_t matched = 0;
    EXPECT_FALSE(EnumerateHidInterfaces(platform, match, list, matched));
    EXPECT_EQ(matched, kNoMatchedIndex);
}

TEST(WindowsHidReports, TheInputBufferIsAsLongAsTheRequestedLength) {
    testing::FakeWinSystem system;
    testing::FakeWinDevice device = ThreeChannelDevice(L"dev", 1, 1);
    device.inputReply = {0x02, 0xAA, 0xBB, 0xCC, 0xDD};
    system.devices.push_back(device);
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::string error;
    auto connection = platform.Open("dev", {}, error);
    ASSERT_NE(connection, nullptr) << error;

    // 0x0A40: a command code in the second byte of a length longer than the caller's buffer.
    std::array<std::uint8_t, 3> small{};
    ASSERT_EQ(connection->GetInputReport(2, 0x0A40, small), 3u);
    EXPECT_EQ(small, (std::array<std::uint8_t, 3>{0x02, 0xAA, 0xBB}));
    std::array<std::uint8_t, 64> large{};
    ASSERT_EQ(connection->GetInputReport(3, 5, large), 5u);
    // wLength is 16 bits: a longer request never reaches hid.dll.
    EXPECT_FALSE(connection->GetInputReport(3, 0x10000, large));
    EXPECT_NE(connection->LastError().find("must be 1 to 65535 bytes"), std::string::npos)
        << connection->LastError();
    EXPECT_EQ(system.inputLengths, (std::vector<ULONG>{0x0A40, 5}));
    EXPECT_EQ(system.inputFirstBytes, (std::vector<std::uint8_t>{2, 3}));

    const std::uint8_t report[] = {0x01, 0x10, 0x20};
    ASSERT_TRUE(connection->SendOutputReport(report));
    ASSERT_EQ(system.outputs.size(), 1u);
    EXPECT_EQ(system.outputs[0], (std::vector<std::uint8_t>{0x01, 0x10, 0x20}));
}

TEST(WindowsHidErrors, NameTheCallThePathAndTheSystemsText) {
    testing::FakeWinSystem system;
    testing::FakeWinDevice device = ThreeChannelDevice(L"dev", 1, 1);
    device.getInputError = ERROR_GEN_FAILURE;
    system.devices.push_back(device);
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::string error;
    EXPECT_EQ(platform.Open("missing", {}, error), nullptr);
    EXPECT_EQ(error, "missing: cannot open: The system cannot find the file specified. (error 2)");

    auto connection = platform.Open("dev", {}, error);
    ASSERT_NE(connection, nullptr) << error;
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_FALSE(connection->GetInputReport(2, 576, buffer));
    EXPECT_EQ(connection->LastError(),
              "HidD_GetInputReport on dev (report ID 2, length 576) failed: A device attached to "
              "the system is not functioning. (error 31)");
    std::vector<std::uint8_t> descriptor;
    EXPECT_FALSE(connection->GetReportDescriptor(descriptor));
    EXPECT_EQ(connection->LastError(), "Windows gives applications no report descriptor of dev");

    // A code the system has no text for is still named.
    EXPECT_EQ(WindowsErrorText(api, 0xDEAD), "error 57005");
}

TEST(WindowsBoardLocation, TheSerialIsReadThroughAQueryOnlyHandleThatIsClosedAgain) {
    testing::FakeWinSystem system;
    testing::FakeWinDevice device = ThreeChannelDevice(L"dev", 1, 1);
    device.serial = L"SN-\u00e9\u4e2d-42";
    system.devices.push_back(device);
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);

    const BoardLocation location = platform.Locate("dev");
    EXPECT_EQ(location.serial, "SN-\xc3\xa9\xe4\xb8\xad-42");  // UTF-8 from UTF-16
    EXPECT_EQ(location.port, "");
    // Access 0 asks only to query, so a device another program holds still answers.
    ASSERT_EQ(system.opened, std::vector<std::wstring>{L"dev"});
    EXPECT_EQ(system.openAccess[0], DWORD{0});
    EXPECT_EQ(system.openShare[0], DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE});
    // hid.dll takes the buffer's length in bytes: room for 127 units and a terminator.
    EXPECT_EQ(system.serialLengths, std::vector<ULONG>{(127 + 1) * sizeof(wchar_t)});
    EXPECT_EQ(system.closes, 1);
    EXPECT_EQ(system.openHandles, 0);
}

TEST(WindowsBoardLocation, AnythingThatFailsLeavesTheSerialEmpty) {
    testing::FakeWinSystem system;
    testing::FakeWinDevice noSerial = ThreeChannelDevice(L"no-serial", 1, 1);
    testing::FakeWinDevice refused = ThreeChannelDevice(L"refused", 1, 1);
    refused.serial = L"never read";
    refused.openError = ERROR_ACCESS_DENIED;
    testing::FakeWinDevice longSerial = ThreeChannelDevice(L"long", 1, 1);
    longSerial.serial = std::wstring(200, L'7');
    system.devices = {noSerial, refused, longSerial};
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);

    EXPECT_EQ(platform.Locate("no-serial").serial, "");
    EXPECT_EQ(platform.Locate("refused").serial, "");
    EXPECT_EQ(platform.Locate("gone").serial, "");
    // A string that fills the buffer without a terminator ends at the buffer.
    EXPECT_EQ(platform.Locate("long").serial, std::string(127, '7'));
    EXPECT_EQ(system.serialLengths.size(), 2u);
    // Every handle that was opened is closed, and only those.
    EXPECT_EQ(system.opened.size(), 4u);
    EXPECT_EQ(system.closes, 2);
    EXPECT_EQ(system.openHandles, 0);
}

TEST(WindowsBoardLocation, BoardsAreListedWithPortAndSerialAndPickedByEither) {
    testing::FakeWinSystem system;
    // Two boards on a hub in port 3 of the controller at PCI 14.0, the HID node's parent being
    // the USB device; the third board's tree names no location.
    system.devNodes = {
        {10, {.parent = 11}},
        {11, {.locationPaths = {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(1)"}}},
        {20, {.parent = 21}},
        {21, {.locationPaths = {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(2)"}}},
        {30, {.parent = 31}},
        {31, {}},
    };
    testing::FakeWinDevice first = ThreeChannelDevice(L"\\\\?\\hid#board-1", 0x1209, 0x0001);
    first.serial = L"AB12";
    first.devNode = 10;
    testing::FakeWinDevice second = ThreeChannelDevice(L"\\\\?\\hid#board-2", 0x1209, 0x0001);
    second.serial = L"CD34";
    second.devNode = 20;
    testing::FakeWinDevice bare = ThreeChannelDevice(L"\\\\?\\hid#board-3", 0x1209, 0x0001);
    bare.devNode = 30;
    system.devices = {first, ThreeChannelDevice(L"\\\\?\\hid#other", 0x1209, 0x0002), second, bare};
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::vector<boards::Board> list;
    std::string error;
    ASSERT_TRUE(boards::ListMatchingBoards(platform, 0x1209, 0x0001, list, error)) << error;
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].serial, "AB12");
    EXPECT_EQ(list[1].port, "1400-3.2");
    EXPECT_EQ(list[2].port, "");
    EXPECT_EQ(list[2].serial, "");
    // Without a port a board is named by its path.
    EXPECT_EQ(list[2].Name(), "\\\\?\\hid#board-3");
    EXPECT_EQ(boards::CandidateLines({list[0]}),
              "  \\\\?\\hid#board-1  port 1400-3.1  serial AB12\n");

    boards::BoardFilter serialFilter;
    serialFilter.serialPrefix = "CD";
    const std::vector<boards::Board> bySerial = boards::FilterBoards(list, serialFilter);
    ASSERT_EQ(bySerial.size(), 1u);
    EXPECT_EQ(bySerial[0].path, "\\\\?\\hid#board-2");
    boards::BoardFilter portFilter;
    portFilter.ports = {"1400-3.1"};
    const std::vector<boards::Board> byPort = boards::FilterBoards(list, portFilter);
    ASSERT_EQ(byPort.size(), 1u);
    EXPECT_EQ(byPort[0].path, "\\\\?\\hid#board-1");
    EXPECT_EQ(system.openHandles, 0);
    EXPECT_EQ(system.heldDeviceInfoLists, 0);
}

TEST(WindowsUsbPort, LocationPathsBecomePortPathsWhereTheyEndAtAUsbDevice) {
    // Hubs nested two deep, and a controller behind a PCI bridge.
    EXPECT_EQ(UsbPortFromLocationPath(L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(2)#USB(4)"),
              "1400-1.2.4");
    EXPECT_EQ(UsbPortFromLocationPath(L"PCIROOT(0)#PCI(1C00)#PCI(0000)#USBROOT(0)#USB(12)"),
              "1C00.0000-12");
    // A controller outside the first PCI root's tree keeps the whole path.
    for (const wchar_t* whole :
         {L"ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#USBROOT(0)#USB(2)",
          L"PCIROOT(1)#PCI(0000)#USBROOT(0)#USB(2)", L"PCIROOT(0)#PCI(1400)#USBROOT(1)#USB(2)"}) {
        EXPECT_EQ(UsbPortFromLocationPath(whole), files::Utf8FromUtf16(whole));
    }
    // Not a USB device: an interface of a composite one, a root hub, the controller, nothing.
    for (const wchar_t* none :
         {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USBMI(0)", L"PCIROOT(0)#PCI(1400)#USBROOT(0)",
          L"PCIROOT(0)#PCI(1400)", L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB()", L"",
          L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(x)"}) {
        EXPECT_EQ(UsbPortFromLocationPath(none), "") << files::Utf8FromUtf16(none);
    }
}

TEST(WindowsUsbPort, TheWalkUpTheDeviceTreeStopsAtTheUsbDevice) {
    testing::FakeWinSystem system;
    system.devNodes = {
        // A composite device: the HID node's parent is the USB interface node, whose path ends
        // past the device; the USB device above it names the port, and its hub is not looked at.
        {1, {.parent = 2}},
        {2, {.parent = 3, .locationPaths = {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USBMI(0)"}}},
        {3,
         {.parent = 4,
          .locationPaths = {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)",
                            L"ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#USBROOT(0)#USB(2)"}}},
        {4, {.parent = 5, .locationPaths = {L"PCIROOT(0)#PCI(1400)#USBROOT(0)"}}},
        {5, {.locationPaths = {L"PCIROOT(0)#PCI(1400)"}}},
        // No node up to the top names a location.
        {7, {.parent = 8}},
        {8, {.parent = 9}},
        {9, {}},
        // A tree broken into a loop.
        {40, {.parent = 41}},
        {41, {.parent = 40}},
    };
    const WinHidApi api = system.Api();
    EXPECT_EQ(UsbPortOfDevNode(api, 1), "1400-2");
    EXPECT_EQ(UsbPortOfDevNode(api, 3), "1400-2");
    EXPECT_EQ(UsbPortOfDevNode(api, 7), "");
    EXPECT_EQ(UsbPortOfDevNode(api, 40), "");
    EXPECT_EQ(UsbPortOfDevNode(api, 99), "");

    // Through the platform: an interface without a device node, or one SetupAPI cannot open,
    // gets no port but still its serial.
    testing::FakeWinDevice composite = ThreeChannelDevice(L"composite", 1, 1);
    composite.devNode = 1;
    testing::FakeWinDevice orphan = ThreeChannelDevice(L"orphan", 1, 1);
    orphan.serial = L"S1";
    system.devices = {composite, orphan};
    const WinHidApi withDevices = system.Api();
    WindowsHidPlatform platform(withDevices);
    EXPECT_EQ(platform.Locate("composite").port, "1400-2");
    const BoardLocation orphanLocation = platform.Locate("orphan");
    EXPECT_EQ(orphanLocation.port, "");
    EXPECT_EQ(orphanLocation.serial, "S1");
    EXPECT_EQ(platform.Locate("gone").port, "");
    EXPECT_EQ(system.heldDeviceInfoLists, 0);
    EXPECT_EQ(system.openHandles, 0);
}

TEST(WindowsDoctor, EachInterfaceIsCheckedForAccessAndItsThreeChannels) {
    testing::FakeWinSystem system;
    const WinHidApi api = system.Api();
    WindowsHidPlatform platform(api);
    std::vector<SetupCheck> checks = boards::CheckInterfaces(platform, 0x1209, 0x0001);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_FALSE(checks[0].ok);
    EXPECT_EQ(checks[0].text, "no HID interface with 1209:0001 is present");

    testing::FakeWinDevice good = ThreeChannelDevice(L"good", 0x1209, 0x0001);
    good.devNode = 1;
    system.devNodes = {{1, {.locationPaths = {L"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(4)"}}}};
    // Two channels only: some other firmware.
    testing::FakeWinDevice other = ThreeChannelDevice(L"other", 0x1209, 0x0001);
    other.caps.NumberInputValueCaps = other.caps.NumberOutputValueCaps = 2;
    other.values[HidP_Input].pop_back();
    other.values[HidP_Output].pop_back();
    system.devices = {good, other};
    const WinHidApi withDevices = system.Api();
    WindowsHidPlatform present(withDevices);
    checks = boards::CheckInterfaces(present, 0x1209, 0x0001);
    std::vector<std::string> lines;
    for (const SetupCheck& check : checks) {
        lines.push_back((check.ok ? "OK " : "PROBLEM ") + check.name + ": " + check.text);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "OK device: good (port 1400-4): present, with the HID driver bound",
                         "OK access: good: opens for reading and writing",
                         "OK reports: good: flash data channel out 4100 / in 4100 bytes, command "
                         "channel out 64 / in 64 bytes, IIC channel out 64 / in 64 bytes",
                         "OK device: other: present, with the HID driver bound",
                         "OK access: other: opens for reading and writing",
                         "PROBLEM reports: other: The device's HID interface has 2 output and 2 "
                         "input channels; this tool needs three of each. Is it the right device?",
                     }));
    EXPECT_FALSE(checks.back().fix.empty());

    // A board another program holds cannot be told from the rest: the check says so.
    system.devices[0].openError = ERROR_ACCESS_DENIED;
    system.devices.pop_back();
    const WinHidApi held = system.Api();
    WindowsHidPlatform heldPlatform(held);
    checks = boards::CheckInterfaces(heldPlatform, 0x1209, 0x0001);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].text,
              "no HID interface with 1209:0001 is present among those that could be opened (1 "
              "could not: another program may hold them)");
    EXPECT_EQ(system.openHandles, 0);
}

}  // namespace
}  // namespace brimlo::hid
