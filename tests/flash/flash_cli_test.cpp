// The flash commands of brimlo-hid run against the emulated device as a script would: exit
// codes, the closing text and the JSON a script reads.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "flash_test_data.h"

namespace brimlo::flash::testing {
namespace {

struct CliRun {
    int exitCode;
    std::string out;
    std::string err;
};

class FlashCliTest : public ::testing::Test {
  protected:
    CliRun Cli(const std::string& args) {
        const int status = std::system((std::string(BRIMLO_HID_BINARY) +
                                        " --simulate --sim-state '" + Path("sim") + "' " + args +
                                        " >'" + Path("out") + "' 2>'" + Path("err") + "'")
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text("out"), Text("err")};
    }
    // Sets one fault of the emulated device, as its device.json names it.
    void SetFault(const std::string& name, const nlohmann::json& value) {
        nlohmann::json json = nlohmann::json::parse(Text("sim/device.json"));
        json["faults"][name] = value;
        std::ofstream(Path("sim/device.json")) << json.dump(2);
    }
    std::string Path(const std::string& name) const { return (dir.path / name).string(); }
    std::string Text(const std::string& name) const {
        const Bytes bytes = TempDir::Read(dir.path / name);
        return {bytes.begin(), bytes.end()};
    }

    TempDir dir;
};

TEST_F(FlashCliTest, ImageInfoBurnVerifyAndDumpAgreeWithTheFile) {
    const Bytes image = FlashImage(0x10000, 0x1);
    const std::string file = dir.Write("image.bin", image).string();

    const CliRun info = Cli("--json image info " + file);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const nlohmann::json infoJson = nlohmann::json::parse(info.out);
    EXPECT_EQ(infoJson["firmware_length_64k"], 0x20000);
    EXPECT_EQ(infoJson["firmware_length_4k"], 0x11000);
    EXPECT_EQ(infoJson["burns"]["customized"]["ok"], true);

    const CliRun burn = Cli("flash burn " + file);
    ASSERT_EQ(burn.exitCode, 0) << burn.err;
    EXPECT_EQ(burn.out, "The entire flash has updated, please replug-in device!\n");
    const CliRun verify = Cli("--json flash verify " + file);
    ASSERT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_EQ(nlohmann::json::parse(verify.out)["differs"], false);
    const CliRun dump = Cli("flash dump " + Path("dump.bin"));
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, "Dump firmware has finished!\n");
    EXPECT_TRUE(TempDir::Read(Path("dump.bin")) == image);
}

// A compare that fails ends with exit code 4, in burn and in verify alike.
TEST_F(FlashCliTest, CompareFailuresExitWithFour) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("corrupt_read_at", "0x180010");

    const CliRun burn = Cli("--json flash burn " + file + " --area firmware --area private");
    EXPECT_EQ(burn.exitCode, 4) << burn.err;
    const nlohmann::json json = nlohmann::json::parse(burn.out);
    EXPECT_EQ(json["compare_failed"], true);
    EXPECT_EQ(json["updated_areas"], nlohmann::json::array({"private"}));
    EXPECT_EQ(json["first_difference"]["address"], 0x180010);
    EXPECT_NE(burn.err.find("FlashWrite -- Compare failed"), std::string::npos) << burn.err;

    const CliRun verify = Cli("flash verify " + file + " --area firmware");
    EXPECT_EQ(verify.exitCode, 4) << verify.err;
    EXPECT_NE(verify.out.find("first at 0x00180010"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("1 byte differs"), std::string::npos) << verify.out;
}

TEST_F(FlashCliTest, UnfitFilesAndUnknownChipsAreRefused) {
    const std::string shortFile =
        dir.Write("short.bin", FlashImage(0x10000, 0x1, 3, 0x600000)).string();
    const CliRun burn = Cli("flash burn " + shortFile + " --area customized");
    EXPECT_EQ(burn.exitCode, 1);
    EXPECT_NE(burn.err.find("too short for the Customized area"), std::string::npos) << burn.err;
    EXPECT_EQ(Cli("flash burn " + shortFile + " --entire --area private").exitCode, 2);

    SetFault("chip_index_answer", 44);
    const CliRun id = Cli("flash id");
    EXPECT_EQ(id.exitCode, 1);
    EXPECT_NE(id.err.find("flash chip 44"), std::string::npos) << id.err;
}

}  // namespace
}  // namespace brimlo::flash::testing
