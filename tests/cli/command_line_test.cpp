// What a user of the command line relies on whatever the command: exit codes, one JSON object
// on every outcome, options anywhere, hexadecimal numbers, file names in UTF-8.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "cli_runner.h"

namespace {

namespace fs = std::filesystem;
using brimlo::testing::CliRun;
using brimlo::testing::CliTest;
using brimlo::testing::OneObject;

TEST_F(CliTest, CommandLineMistakesExitTwoWhateverTheCommand) {
    const std::string unwritable = "--trace '" + (state / "missing" / "t.jsonl").string() + "'";
    const struct {
        std::string args;
        const char* said;  // part of the message on stderr
    } mistakes[] = {
        {"-d garbage info", "VID:PID"},
        {"-d 1209 info", "VID:PID"},
        {"-d 1209 fw-version", "VID:PID"},
        {"-d 1:2:3 list", "VID:PID"},
        {unwritable + " info", "Cannot write the trace file"},
        {unwritable + " reg read 54", "Cannot write the trace file"},
        {"reg read 54 --count 0", "--count"},
    };
    for (const auto& mistake : mistakes) {
        const CliRun run = Cli(mistake.args);
        EXPECT_EQ(run.exitCode, 2) << mistake.args << "\n" << run.err;
        EXPECT_NE(run.err.find(mistake.said), std::string::npos) << mistake.args << "\n" << run.err;
    }

    // The emulated device's state directory means nothing to the real one.
    const CliRun stateAlone = Run("--sim-state '" + state.string() + "' info");
    EXPECT_EQ(stateAlone.exitCode, 2) << stateAlone.err;
    EXPECT_NE(stateAlone.err.find("--simulate"), std::string::npos) << stateAlone.err;
}

TEST_F(CliTest, JsonPrintsOneObjectOnEveryOutcomeWithTheErrorOnFailure) {
    std::ofstream(state / "device.json") << R"({"faults": {"fail_exchange": 1}})";
    const struct {
        std::string args;
        int exitCode;
        const char* command;
    } failures[] = {
        {"--json reg read 54", 1, "reg read"},
        {"--json reg write 54 1", 1, "reg write"},
        {"--json iic read 90 10", 1, "iic read"},
        {"--json gpio get 1", 1, "gpio get"},
        {"--json fw-version", 1, "fw-version"},
        {"--json -d dead:beef info", 3, "info"},
        {"--json -d garbage reg read 54", 2, "reg read"},
        {"--json reg read 12zz", 2, "reg read"},
        {"--json frobnicate", 2, ""},
    };
    for (const auto& failure : failures) {
        const CliRun run = Cli(failure.args);
        EXPECT_EQ(run.exitCode, failure.exitCode) << failure.args << "\n" << run.err;
        nlohmann::json object;
        ASSERT_TRUE(OneObject(run, object)) << failure.args;
        ASSERT_TRUE(object.contains("error")) << failure.args << ": " << run.out;
        EXPECT_FALSE(object["error"].get<std::string>().empty()) << failure.args;
        if (*failure.command != '\0') {
            EXPECT_EQ(object["command"], failure.command) << failure.args;
        }
    }
    // info describes a device whose version cannot be read, and that is no failure.
    const CliRun info = Cli("--json info");
    EXPECT_EQ(info.exitCode, 0) << info.err;
    nlohmann::json object;
    ASSERT_TRUE(OneObject(info, object));
    EXPECT_EQ(object["command"], "info");
    EXPECT_TRUE(object["firmware_version"].is_null()) << info.out;
    EXPECT_FALSE(object.contains("error")) << info.out;
}

TEST_F(CliTest, FileNamesInUtf8ReachTheFilesAndPrintAsThemselves) {
    // On Windows the arguments arrive in UTF-16 and the files are opened by UTF-16 names: both
    // conversions are on this path, and the blank needs quoting in the command line.
    const std::string name = "caf\xc3\xa9 \xce\xbb";
    const fs::path odd = state / fs::path(u8"caf\u00e9 \u03bb");
    const std::string oddText = state.string() + "/" + name;
    const CliRun info = Run("--json --simulate --sim-state '" + oddText + "' info");
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_TRUE(fs::is_regular_file(odd / "flash.bin")) << "the state lives under the UTF-8 name";
    const CliRun list = Run("--json --simulate --sim-state '" + oddText + "' list");
    EXPECT_EQ(list.exitCode, 0) << list.err;
    nlohmann::json object;
    ASSERT_TRUE(OneObject(list, object));
    EXPECT_NE(list.out.find(name), std::string::npos) << list.out;

    const CliRun dump = Run("--simulate --sim-state '" + oddText + "' flash dump '" + oddText +
                            "/d\xc3\xbcmp.bin'");
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(fs::file_size(odd / fs::path(u8"d\u00fcmp.bin")), 8u * 1024 * 1024);
    std::ofstream(odd / fs::path(u8"\u00efmage.bin"), std::ios::binary)
        << std::string(64 * 1024, '\x5a');
    const CliRun burn = Run("--simulate --sim-state '" + oddText + "' flash burn '" + oddText +
                            "/\xc3\xafmage.bin'");
    EXPECT_EQ(burn.exitCode, 0) << burn.err;
    const CliRun trace = Run("--simulate --sim-state '" + oddText + "' --trace '" + oddText +
                             "/tr\xc3\xa4"
                             "ce.jsonl' fw-version");
    EXPECT_EQ(trace.exitCode, 0) << trace.err;
    EXPECT_GT(fs::file_size(odd / fs::path(u8"tr\u00e4ce.jsonl")), 0u);
}

TEST_F(CliTest, GlobalOptionsMayFollowTheCommand) {
    ASSERT_EQ(Cli("reg write 54 0").exitCode, 0);
    const CliRun run =
        Run("reg read 54 --count 2 --json --simulate --sim-state '" + state.string() + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    nlohmann::json object;
    ASSERT_TRUE(OneObject(run, object));
    EXPECT_EQ(object["registers"].size(), 2u);

    const CliRun info = Run("info --simulate --sim-state '" + state.string() + "'");
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(info.out.rfind("Device #0:", 0), 0u) << info.out;
}

// CLI11 takes "/name" for an option on Windows unless told not to; a file name must stay one.
TEST_F(CliTest, ArgumentsStartingWithASlashAreFileNames) {
    const CliRun run = Cli("flash burn /no-such-folder/image.bin --entire");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("image.bin"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("unknown"), std::string::npos) << run.err;
}

TEST_F(CliTest, VersionAndUnknownCommands) {
    const CliRun version = Run("--version");
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_TRUE(std::regex_match(version.out, std::regex("brimlo-hid [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;

    const CliRun unknown = Cli("frobnicate");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos) << unknown.err;
    const CliRun unknownSub = Cli("reg peek 54");
    EXPECT_EQ(unknownSub.exitCode, 2);
    EXPECT_NE(unknownSub.err.find("peek"), std::string::npos) << unknownSub.err;
}

TEST_F(CliTest, EveryNumberIsHexadecimalAndTooLargeIsCalledSo) {
    const CliRun count = Cli("--json reg read 54 --count 10");
    ASSERT_EQ(count.exitCode, 0) << count.err;
    nlohmann::json object;
    ASSERT_TRUE(OneObject(count, object));
    EXPECT_EQ(object["registers"].size(), 0x10u);
    EXPECT_EQ(object["registers"][3]["address"], 0x60);  // 54 and on, a register every 4

    ASSERT_EQ(Cli("iic write 90 10 01 02 03 04 05 06 07 08 09 0a 0b").exitCode, 0);
    const CliRun iic = Cli("iic read 90 10 --count 0b");
    ASSERT_EQ(iic.exitCode, 0) << iic.err;
    EXPECT_EQ(iic.out, "ret 00 data 01 02 03 04 05 06 07 08 09 0a 0b\n");

    ASSERT_EQ(Cli("gpio dir 0x2 out").exitCode, 0);
    ASSERT_EQ(Cli("gpio set 0x2 1").exitCode, 0);
    const CliRun gpio = Cli("--json gpio get 02");
    ASSERT_EQ(gpio.exitCode, 0) << gpio.err;
    ASSERT_TRUE(OneObject(gpio, object));
    EXPECT_EQ(object["number"], 2);
    EXPECT_EQ(object["value"], 1);
    const CliRun gpioText = Cli("gpio get 2");
    ASSERT_EQ(gpioText.exitCode, 0) << gpioText.err;
    EXPECT_EQ(gpioText.out, "01\n");

    const struct {
        const char* args;
        const char* said;
    } refused[] = {
        {"reg write 54 100000000", "value '100000000' is too large"},
        {"iic write 90 100", "byte '100' is too large: at most 0xff"},
        {"gpio get 4", "GPIO number '4' is too large: at most 0x3"},
        {"iic read 90 --count 100", "--count '100' is too large"},
        {"iic read 90 --count 0", "--count '0' is zero: a count is 1 to 0xff"},
        {"reg read 54 --count 0x0", "--count '0x0' is zero"},
        {"station id --count 0", "--count '0' is zero: a count is 1 to 0xffffffff"},
        {"station id --count 10000000000000000", "is too large"},  // 2 to the 64th
        {"station id --count 18446744073709551616", "is too large"},
        {"station id --count 99999999999999999999999", "is too large"},
        {"station id --count 12z", "--count '12z' is not a hexadecimal number"},
        {"station burn image.bin --count ''", "--count '' is not a hexadecimal number"},
        {"gpio get 1z", "GPIO number '1z' is not a hexadecimal number"},
        {"reg write 54 1000000zz", "value '1000000zz' is not a hexadecimal number"},
    };
    for (const auto& mistake : refused) {
        const CliRun run = Cli(mistake.args);
        EXPECT_EQ(run.exitCode, 2) << mistake.args;
        EXPECT_NE(run.err.find(mistake.said), std::string::npos) << mistake.args << "\n" << run.err;
    }
    // A short message, not the number read back.
    const CliRun huge = Cli("station id --count " + std::string(400, '9'));
    EXPECT_EQ(huge.exitCode, 2);
    EXPECT_NE(huge.err.find("--count is too large"), std::string::npos) << huge.err;
    EXPECT_LT(huge.err.size(), 200u) << huge.err;
}

}  // namespace
