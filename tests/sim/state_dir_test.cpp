// A device kept in a state directory: device.json with its defaults, every key read back and a
// clear error naming the file and the key for anything malformed; and what one run leaves
// there, the next one finds.

#include <gtest/gtest.h>

#include <fstream>

#include "sim/sim_config_json.h"
#include "sim/sim_platform.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Bytes;
using testing::Pattern;
using testing::Wire;

std::shared_ptr<SimDevice> LoadOrDie(const std::filesystem::path& dir) {
    std::string error;
    auto device = SimDevice::Load(dir, error);
    if (!device) {
        throw std::runtime_error(error);
    }
    return device;
}

TEST(StateDir, FlashAndPeripheralsOutliveTheDevice) {
    testing::TempDir dir;
    const Bytes image = Pattern(0x10000, 61);
    {
        Wire wire(LoadOrDie(dir.path));
        ASSERT_TRUE(wire.Burn(3, 0x4F0000, image));
        ASSERT_TRUE(wire.WriteRegister(0x03FF0000, 0xF6000000));
        ASSERT_EQ(wire.IicWrite(0x90, {0x20, 0x5A, 0xA5}), kIicAck);
        ASSERT_TRUE(wire.GpioSet(3, 1));
        ASSERT_TRUE(wire.GpioWrite(3, 0));

        // flash.bin is the chip's image: flash address x at file offset x, already there.
        const Bytes inFile = testing::TempDir::Read(dir.path / "flash.bin");
        EXPECT_EQ(Bytes(inFile.begin() + 0x4F0000, inFile.begin() + 0x500000), image);
    }
    Wire wire(LoadOrDie(dir.path));
    EXPECT_EQ(wire.Dump(3, 0x4F0000, 0x10000), image);
    EXPECT_EQ(wire.ReadRegister(0x03FF0000), 0xF6000000u);
    EXPECT_EQ(wire.IicRead(0x90, {0x20}, 2), (Bytes{kIicAck, 0x5A, 0xA5}));
    EXPECT_EQ(wire.GpioRead(3), 0) << "line 3 still drives its latch, 0";
}

// A flash.bin that does not match the chip (another chip_row, a file from elsewhere) is never
// cut or grown: every command refuses it, naming the file and both sizes, and it stays as it is.
TEST(StateDir, FlashFileOfAnotherSizeIsRefusedAndLeftAlone) {
    testing::TempDir dir;
    const Bytes head = Pattern(4096, 2);
    ASSERT_TRUE(Wire(LoadOrDie(dir.path)).Burn(1, 0, head));
    const std::filesystem::path file = dir.path / "flash.bin";
    const auto check = [&](const char* chipRow, std::uintmax_t found, std::uint32_t expected) {
        SCOPED_TRACE(chipRow);
        std::ofstream(dir.path / "device.json") << R"({"chip_row": )" << chipRow << "}";
        std::string error;
        EXPECT_EQ(SimDevice::Load(dir.path, error), nullptr);
        EXPECT_NE(error.find(file.string()), std::string::npos) << error;
        EXPECT_NE(error.find(std::to_string(found) + " bytes"), std::string::npos) << error;
        EXPECT_NE(error.find(std::to_string(expected)), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
        EXPECT_EQ(std::filesystem::file_size(file), found);
    };
    check("5", 8u << 20, 16u << 20);    // would be grown
    check("34", 8u << 20, 256u << 10);  // would be cut
    std::filesystem::resize_file(file, 9'000'000);
    check("4", 9'000'000, 8u << 20);

    std::filesystem::resize_file(file, 8u << 20);
    EXPECT_EQ(LoadOrDie(dir.path)->PeekFlash(0, 4096), head) << "the bytes were never touched";
}

TEST(DeviceJson, MissingFileIsWrittenWithTheDefaults) {
    testing::TempDir dir;
    std::string error;
    auto device = SimDevice::Load(dir.path, error);
    ASSERT_NE(device, nullptr) << error;
    EXPECT_EQ(device->Path(), "sim:" + dir.path.string());

    SimConfig reread;
    reread.vid = 0;  // must come back from the file
    ASSERT_TRUE(LoadSimConfig(dir.path / "device.json", reread, error)) << error;
    EXPECT_EQ(FormatSimConfig(reread), FormatSimConfig(SimConfig{}));
    EXPECT_EQ(std::filesystem::file_size(dir.path / "flash.bin"), 8u * 1024 * 1024);
}

TEST(DeviceJson, EveryKeySurvivesARoundTrip) {
    SimConfig config{.vid = 0xABCD,
                     .pid = 0x0102,
                     .version = 0x0203,
                     .chipRow = 38,
                     .reportIds = {9, 8},
                     .outputReportLengths = {1028, 32},
                     .inputReportLengths = {1000, 40},
                     .firmwareVersion = {9, 8, 7, 6},
                     .iicDevices = {{0xA0, 16}, {0x50, 256}},
                     .gpioInputLevels = {0, 0, 1, 0},
                     .faults = {.failExchange = 7,
                                .unplugAfter = 100,
                                .corruptReadAt = 0x1234,
                                .latencyUs = 10,
                                .chipIndexAnswer = 0xFFFF}};
    config.hdmiInfo.fill(0x5A);
    SimConfig parsed;
    std::string error;
    ASSERT_TRUE(ParseSimConfig(FormatSimConfig(config), parsed, error)) << error;
    EXPECT_EQ(FormatSimConfig(parsed), FormatSimConfig(config));
}

TEST(DeviceJson, KeysLeftOutKeepTheirDefaultsAndNumbersMayBeHex) {
    SimConfig config;
    std::string error;
    ASSERT_TRUE(ParseSimConfig(R"({"chip_row": 32, "vid": "0x1d6b", "pid": 258,
                                   "faults": {"latency_us": "250", "unplug_after": null}})",
                               config, error))
        << error;
    const SimConfig expected{
        .vid = 0x1D6B, .pid = 258, .chipRow = 32, .faults = {.latencyUs = 250}};
    EXPECT_EQ(FormatSimConfig(config), FormatSimConfig(expected));
}

struct Malformed {
    const char* name;  // the case's name in the test list
    const char* text;
    const char* key;  // the key the error must name
};

// Failure messages show the document rather than the struct's bytes.
void PrintTo(const Malformed& malformed, std::ostream* out) {
    *out << malformed.text;
}

std::string CaseName(const ::testing::TestParamInfo<Malformed>& info) {
    return info.param.name;
}

class MalformedDeviceJson : public ::testing::TestWithParam<Malformed> {};

// The platform passes the error on, as it does any error of the state directory.
TEST_P(MalformedDeviceJson, ErrorNamesTheFileAndTheKey) {
    testing::TempDir dir;
    std::ofstream(dir.path / "device.json") << GetParam().text;
    std::string error;
    EXPECT_EQ(SimPlatform(dir.path).PresentInterfaces(error), nullptr);
    EXPECT_NE(error.find((dir.path / "device.json").string()), std::string::npos) << error;
    EXPECT_NE(error.find(GetParam().key), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedDeviceJson,
    ::testing::Values(
        Malformed{"BrokenJson", R"({"vid": 1,)", "not valid JSON"},
        Malformed{"NotAnObject", R"([1, 2])", "JSON object"},
        Malformed{"VidNotANumber", R"({"vid": "zz"})", "vid"},
        Malformed{"VidNegative", R"({"vid": -1})", "vid"},
        Malformed{"VidFraction", R"({"vid": 1.5})", "vid"},
        Malformed{"VidBoolean", R"({"vid": true})", "vid"},
        Malformed{"VidOverflowsAnyNumber", R"({"vid": 1e400})", "vid"},
        Malformed{"PidTooLarge", R"({"pid": 65536})", "pid"},
        Malformed{"ChipRowPastTheTable", R"({"chip_row": 44})", "chip_row"},
        Malformed{"ChipRowOverflows", R"({"chip_row": -1e400})", "chip_row"},
        Malformed{"UnknownKey", R"({"chip_rows": 4})", "chip_rows: unknown key"},
        Malformed{"ReportIdTwice", R"({"report_ids": [1, 1, 3]})", "report_ids[1]"},
        Malformed{"ReportIdOverflows", R"({"report_ids": [1, 1e400]})", "report_ids[1]"},
        Malformed{"LengthsPerChannel", R"({"report_ids": [1, 2]})", "output_report_lengths"},
        Malformed{"CommandInputTooLong", R"({"input_report_lengths": [4100, 300, 64]})",
                  "input_report_lengths[1]"},
        Malformed{"FlashOutputTooShort", R"({"output_report_lengths": [4, 64, 64]})",
                  "output_report_lengths[0]"},
        Malformed{"LengthsNotAList", R"({"output_report_lengths": 64})", "output_report_lengths"},
        Malformed{"FirmwareVersionShort", R"({"firmware_version": [1, 2, 3]})", "firmware_version"},
        Malformed{"HdmiInfoShort", R"({"hdmi_info": "00 11"})", "hdmi_info"},
        Malformed{"HdmiInfoNotText", R"({"hdmi_info": 17})", "hdmi_info"},
        Malformed{"IicAddressOdd", R"({"iic_devices": [{"address": "0x91"}]})",
                  "iic_devices[0].address"},
        Malformed{"IicAddressMissing", R"({"iic_devices": [{"size": 4}]})",
                  "iic_devices[0].address"},
        Malformed{"IicSizeOverflows", R"({"iic_devices": [{"address": 144, "size": 1e999}]})",
                  "iic_devices[0].size"},
        Malformed{"IicDevicesNotAList", R"({"iic_devices": {"address": 144}})", "iic_devices"},
        Malformed{"GpioLevelTwo", R"({"gpio_input_levels": [0, 1, 2, 0]})", "gpio_input_levels[2]"},
        Malformed{"FaultUnknown", R"({"faults": {"latency": 5}})", "faults.latency"},
        Malformed{"FaultsNotAnObject", R"({"faults": [5]})", "faults"},
        Malformed{"FaultExchangeZero", R"({"faults": {"fail_exchange": 0}})",
                  "faults.fail_exchange"},
        Malformed{"FaultLatencyOverflows", R"({"faults": {"latency_us": 1e400}})",
                  "faults.latency_us"},
        Malformed{"FaultAddressPastTheChip", R"({"faults": {"corrupt_read_at": 8388608}})",
                  "faults.corrupt_read_at"}),
    CaseName);

class MalformedStateJson : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedStateJson, ErrorNamesTheFileAndTheKey) {
    testing::TempDir dir;
    LoadOrDie(dir.path);
    std::ofstream(dir.path / "state.json") << GetParam().text;
    std::string error;
    EXPECT_EQ(SimDevice::Load(dir.path, error), nullptr);
    EXPECT_NE(error.find((dir.path / "state.json").string() + ": "), std::string::npos) << error;
    EXPECT_NE(error.find(GetParam().key), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedStateJson,
    ::testing::Values(
        Malformed{"BrokenJson", R"({"registers": {)", "not valid JSON"},
        Malformed{"NotAnObject", R"("registers")", "JSON object"},
        Malformed{"UnknownKey", R"({"register": {}})", "register: unknown key"},
        Malformed{"RegisterValueNotANumber", R"({"registers": {"0x10": "twelve"}})",
                  "registers.0x10"},
        Malformed{"RegisterValueOverflows", R"({"registers": {"0x10": 1e400}})", "registers.0x10"},
        Malformed{"RegisterAddressNotANumber", R"({"registers": {"ten": 1}})", "registers.ten"},
        Malformed{"GpioShort", R"({"gpio": []})", "gpio"},
        Malformed{"GpioLatchOverflows", R"({"gpio": [{"output": 0, "latch": 1e400}, {}, {}, {}]})",
                  "gpio[0].latch"},
        Malformed{"GpioLineNotAnObject", R"({"gpio": [1, 2, 3, 4]})", "gpio[0]"},
        Malformed{"IicContentsNotHex", R"({"iic": {"0x90": "zz"}})", "iic.0x90"},
        Malformed{"IicContentsNotText", R"({"iic": {"0x90": [1e400]}})", "iic.0x90"}),
    CaseName);

TEST(DeviceJson, InvalidConfigIsRefusedInMemoryToo) {
    SimConfig config;
    config.reportIds = {1, 2, 0};
    std::string error;
    EXPECT_EQ(SimDevice::Create(config, error), nullptr);
    EXPECT_NE(error.find("report_ids[2]"), std::string::npos) << error;
}

}  // namespace
}  // namespace brimlo::sim
