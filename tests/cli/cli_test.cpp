// Runs the brimlo-hid binary against the emulated device, as a user or a script would.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_runner.h"

namespace {

namespace fs = std::filesystem;
using brimlo::testing::CliRun;
using brimlo::testing::CliTest;

TEST_F(CliTest, RegistersWrittenInOneRunAreReadInTheNext) {
    ASSERT_EQ(Cli("reg write 0x03FF0000 F6000000").exitCode, 0);
    const CliRun readBack = Cli("reg read 3ff0000");
    EXPECT_EQ(readBack.exitCode, 0) << readBack.err;
    EXPECT_EQ(readBack.out, "f6000000\n");
}

TEST_F(CliTest, FirmwareVersionAndHdmiUseTheDialogsFormats) {
    const CliRun version = Cli("fw-version");
    ASSERT_EQ(version.exitCode, 0) << version.err;
    ASSERT_EQ(version.out.size(), 12u);  // "xx.xx.xx.xx\n"
    EXPECT_EQ(version.out[2], '.');
    const CliRun hdmi = Cli("hdmi");
    ASSERT_EQ(hdmi.exitCode, 0) << hdmi.err;
    EXPECT_EQ(hdmi.out.size(), 72u);  // 24 groups, 23 blanks, line feed
}

TEST_F(CliTest, IicWriteThenReadBackThroughTheDefaultDevice) {
    const CliRun write = Cli("iic write 90 10 5a");
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(write.out, "ret 00\n");
    const CliRun readBack = Cli("iic read 0x90 10 --count 1");
    ASSERT_EQ(readBack.exitCode, 0) << readBack.err;
    EXPECT_EQ(readBack.out, "ret 00 data 5a\n");
    const CliRun absent = Cli("--json iic write 40 00");
    ASSERT_EQ(absent.exitCode, 0) << absent.err;
    EXPECT_NE(nlohmann::json::parse(absent.out)["return_code"], 0);
    const CliRun scan = Cli("iic scan");
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_NE(scan.out.find("40: -- -- -- -- -- -- -- -- 48"), std::string::npos) << scan.out;
}

TEST_F(CliTest, MistakesAreRefusedWithAClearMessageAndNothingIsSent) {
    const fs::path trace = state / "trace.jsonl";
    const CliRun badHex = Cli("--trace '" + trace.string() + "' reg write 54 12zz");
    EXPECT_EQ(badHex.exitCode, 2);
    EXPECT_NE(badHex.err.find("'12zz' is not a hexadecimal number"), std::string::npos);
    EXPECT_TRUE(!fs::exists(trace) || fs::file_size(trace) == 0u);

    EXPECT_EQ(Cli("gpio dir 4 out").exitCode, 2);
    EXPECT_EQ(Cli("gpio dir 1 sideways").exitCode, 2);

    const CliRun missing = Cli("-d dead:beef info");
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("HID Device no found !"), std::string::npos);
    EXPECT_NE(missing.err.find("dead:beef"), std::string::npos);
}

TEST_F(CliTest, TraceRecordsEveryExchangeAsJsonLines) {
    const fs::path trace = state / "trace.jsonl";
    ASSERT_EQ(Cli("--trace '" + trace.string() + "' reg read 54").exitCode, 0);
    std::ifstream in(trace);
    std::string first;
    std::string second;
    ASSERT_TRUE(std::getline(in, first));
    ASSERT_TRUE(std::getline(in, second));
    const auto send = nlohmann::json::parse(first);
    const auto reply = nlohmann::json::parse(second);
    EXPECT_EQ(send["op"], "set_output");
    EXPECT_EQ(send["data"].get<std::string>().substr(0, 12), "020601540000");
    EXPECT_EQ(reply["op"], "get_input");
    EXPECT_EQ(reply["requested_length"], 0x240);
    EXPECT_TRUE(reply["ok"].get<bool>());
}

TEST_F(CliTest, ListAndInfoDescribeTheEmulatedDevice) {
    const CliRun list = Cli("--json list");
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const auto interfaces = nlohmann::json::parse(list.out)["interfaces"];
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_TRUE(interfaces[0]["matches"].get<bool>());
    EXPECT_EQ(interfaces[0]["output_report_length"], 4100);

    const CliRun info = Cli("info");
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(info.out.rfind("Device #0: VID: 0x1209  PID: 0x0001  UsagePage: 0xFF", 0), 0u)
        << info.out;
    EXPECT_NE(info.out.find("channel 0 (flash data): report ID 1, output 4100 bytes"),
              std::string::npos);
}

}  // namespace
