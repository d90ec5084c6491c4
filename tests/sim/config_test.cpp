// device.json: defaults written when missing, every key read back, and a clear error that
// names the file and the key for anything malformed.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "sim/sim_config_json.h"
#include "sim/sim_device.h"
#include "sim_wire.h"

namespace brimlo::sim {
namespace {

void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

TEST(DeviceJson, MissingFileIsWrittenWithTheDefaults) {
    testing::TempDir dir;
    std::string error;
    auto device = SimDevice::Load(dir.Path(), error);
    ASSERT_NE(device, nullptr) << error;
    EXPECT_EQ(device->Config().vid, BRIMLO_DEFAULT_VID);
    EXPECT_EQ(device->Path(), "sim:" + dir.Path().string());

    SimConfig reread;
    reread.vid = 0;  // must come back from the file
    ASSERT_TRUE(LoadSimConfig(dir.Path() / "device.json", reread, error)) << error;
    EXPECT_EQ(FormatSimConfig(reread), FormatSimConfig(SimConfig{}));
    EXPECT_EQ(std::filesystem::file_size(dir.Path() / "flash.bin"), 8u * 1024 * 1024);
}

TEST(DeviceJson, EveryKeySurvivesARoundTrip) {
    SimConfig config;
    config.vid = 0xABCD;
    config.pid = 0x0102;
    config.version = 0x0203;
    config.chipRow = 38;
    config.reportIds = {9, 8};
    config.outputReportLengths = {1028, 32};
    config.inputReportLengths = {1000, 40};
    config.firmwareVersion = {9, 8, 7, 6};
    config.hdmiInfo.fill(0x5A);
    config.iicDevices = {{0xA0, 16}, {0x50, 256}};
    config.gpioInputLevels = {0, 0, 1, 0};
    config.faults = {.failExchange = 7,
                     .unplugAfter = 100,
                     .corruptReadAt = 0x1234,
                     .latencyUs = 10,
                     .chipIndexAnswer = 0xFFFF};
    SimConfig parsed;
    std::string error;
    ASSERT_TRUE(ParseSimConfig(FormatSimConfig(config), parsed, error)) << error;
    EXPECT_EQ(FormatSimConfig(parsed), FormatSimConfig(config));
    EXPECT_EQ(parsed.iicDevices[0].size, 16);
    EXPECT_EQ(parsed.faults.chipIndexAnswer, 0xFFFF);
}

TEST(DeviceJson, KeysLeftOutKeepTheirDefaultsAndNumbersMayBeHex) {
    SimConfig config;
    std::string error;
    ASSERT_TRUE(ParseSimConfig(R"({"chip_row": 32, "vid": "0x1d6b", "pid": 258,
                                   "faults": {"latency_us": "250", "unplug_after": null}})",
                               config, error))
        << error;
    EXPECT_EQ(config.chipRow, 32u);
    EXPECT_EQ(config.vid, 0x1D6B);
    EXPECT_EQ(config.pid, 258);
    EXPECT_EQ(config.faults.latencyUs, 250u);
    EXPECT_FALSE(config.faults.unplugAfter);
    EXPECT_EQ(config.reportIds, (std::vector<std::uint8_t>{1, 2, 3}));
}

struct Malformed {
    const char* text;
    const char* key;  // the key the error must name
};

class MalformedDeviceJson : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedDeviceJson, ErrorNamesTheFileAndTheKey) {
    testing::TempDir dir;
    WriteText(dir.Path() / "device.json", GetParam().text);
    std::string error;
    EXPECT_EQ(SimDevice::Load(dir.Path(), error), nullptr);
    EXPECT_NE(error.find((dir.Path() / "device.json").string()), std::string::npos) << error;
    EXPECT_NE(error.find(GetParam().key), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedDeviceJson,
    ::testing::Values(
        Malformed{R"({"vid": 1,)", "not valid JSON"}, Malformed{R"([1, 2])", "JSON object"},
        Malformed{R"({"vid": "zz"})", "vid"}, Malformed{R"({"pid": -1})", "pid"},
        Malformed{R"({"pid": 65536})", "pid"}, Malformed{R"({"chip_row": 44})", "chip_row"},
        Malformed{R"({"chip_rows": 4})", "chip_rows: unknown key"},
        Malformed{R"({"report_ids": [1, 1, 3]})", "report_ids[1]"},
        Malformed{R"({"report_ids": [1, 2]})", "output_report_lengths"},
        Malformed{R"({"input_report_lengths": [4100, 300, 64]})", "input_report_lengths[1]"},
        Malformed{R"({"output_report_lengths": [4, 64, 64]})", "output_report_lengths[0]"},
        Malformed{R"({"firmware_version": [1, 2, 3]})", "firmware_version"},
        Malformed{R"({"hdmi_info": "00 11"})", "hdmi_info"},
        Malformed{R"({"hdmi_info": 5})", "hdmi_info"},
        Malformed{R"({"iic_devices": [{"address": "0x91"}]})", "iic_devices[0].address"},
        Malformed{R"({"iic_devices": [{"size": 4}]})", "iic_devices[0].address"},
        Malformed{R"({"gpio_input_levels": [0, 1, 2, 0]})", "gpio_input_levels[2]"},
        Malformed{R"({"faults": {"latency": 5}})", "faults.latency"},
        Malformed{R"({"faults": {"fail_exchange": 0}})", "faults.fail_exchange"},
        Malformed{R"({"faults": {"corrupt_read_at": 8388608}})", "faults.corrupt_read_at"},
        Malformed{R"({"faults": {"chip_index_answer": 65536}})", "faults.chip_index_answer"}));

TEST(DeviceJson, InvalidConfigIsRefusedInMemoryToo) {
    SimConfig config;
    config.reportIds = {1, 2, 0};
    std::string error;
    EXPECT_EQ(SimDevice::Create(config, error), nullptr);
    EXPECT_NE(error.find("report_ids[2]"), std::string::npos) << error;
}

}  // namespace
}  // namespace brimlo::sim
