// The flash commands of brimlo-hid run against the emulated device as a script would: exit
// codes, the closing text and the JSON a script reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "flash_cli_fixture.h"
#include "flash_test_data.h"

namespace brimlo::flash::testing {
namespace {

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

// Each line of the progress names what is done to which region and ends with the time taken.
TEST_F(FlashCliTest, ProgressLinesNameTheAreaAndEndWithTheElapsedTime) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    const CliRun burn = Cli("flash burn " + file + " --area firmware --area private");
    ASSERT_EQ(burn.exitCode, 0) << burn.err;
    for (const char* line : {"Write Firmware: 131072 bytes", "Compare Firmware: 131072 bytes",
                             "Write Private Data: 65536 bytes"}) {
        EXPECT_TRUE(std::regex_search(burn.err, std::regex(std::string("(^|\n)") + line +
                                                           ", [0-9.]+ MB/s, [0-9]+\\.[0-9] s\n")))
            << line << " in\n"
            << burn.err;
    }
    const CliRun dump = Cli("flash dump " + Path("dump.bin"));
    EXPECT_NE(dump.err.find("Read Entire Flash: 8388608 bytes, "), std::string::npos) << dump.err;
}

// A missing and an empty burn file are file errors (exit 1), for burn, verify and image info
// alike.
TEST_F(FlashCliTest, MissingAndEmptyImagesAreFileErrors) {
    const std::string empty = dir.Write("empty.bin", {}).string();
    struct Case {
        std::string file;
        const char* text;
    };
    for (const Case& c : {Case{Path("missing.bin"), "No such file"}, Case{empty, "is empty"}}) {
        for (const char* command : {"flash burn ", "image info ", "flash verify "}) {
            const CliRun run = Cli(command + c.file);
            EXPECT_EQ(run.exitCode, 1) << command << c.file << "\n" << run.err;
            EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
        }
    }
}

// An existing dump file is refused without --force and kept as it was; --force replaces it
// only once the dump is complete, and a dump that fails leaves it as it was; - writes the
// flash to standard output.
TEST_F(FlashCliTest, DumpNeverDestroysAnExistingFile) {
    const Bytes image = FlashImage(0x10000, 0x1, 0x3C);
    const std::string file = dir.Write("image.bin", image).string();
    ASSERT_EQ(Cli("flash burn " + file).exitCode, 0);

    const CliRun refused = Cli("flash dump " + file);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("already exists. Add --force"), std::string::npos) << refused.err;
    EXPECT_TRUE(TempDir::Read(file) == image);

    SetFault("unplug_after", 100);
    const CliRun failed = Cli("flash dump --force " + file);
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    EXPECT_TRUE(TempDir::Read(file) == image);
    const std::vector<std::string> partial = FilesStartingWith("image.bin.partial-");
    ASSERT_EQ(partial.size(), 1u);
    EXPECT_NE(failed.err.find("were written to " + partial[0]), std::string::npos) << failed.err;

    SetFault("unplug_after", nullptr);
    dir.Write("image.bin", Bytes{1, 2, 3});
    const CliRun forced = Cli("flash dump --force " + file);
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(TempDir::Read(file) == image);

    const CliRun toStdout = Cli("flash dump -");
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_TRUE(Bytes(toStdout.outBytes.begin(), toStdout.outBytes.end()) == image);
    EXPECT_NE(toStdout.err.find("Dump firmware has finished!"), std::string::npos);
}

// With --json every failure of a flash command still prints one object, with "error".
TEST_F(FlashCliTest, JsonFailuresPrintOneObjectWithAnError) {
    const std::string empty = dir.Write("empty.bin", {}).string();
    for (const std::string& args : {"flash dump " + Path("no-such-folder") + "/dump.bin",
                                    "flash burn " + empty, "image info " + Path("missing.bin")}) {
        const CliRun run = Cli("--json " + args);
        EXPECT_EQ(run.exitCode, 1) << args;
        const nlohmann::json json = Json(run.out);
        ASSERT_TRUE(json.is_object()) << args << ": " << run.out;
        EXPECT_TRUE(json["error"].is_string() && !json["error"].get<std::string>().empty())
            << run.out;
    }
}

// When only the final flag write fails, the firmware was written and verified but not marked
// valid: the tool says so and exits 1.
TEST_F(FlashCliTest, FailedFinalFlagWriteIsReportedAndFails) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    SetFault("fail_exchange", ExchangesOf("flash burn " + file + " --area firmware"));
    const CliRun burn = Cli("--json flash burn " + file + " --area firmware");
    EXPECT_EQ(burn.exitCode, 1) << burn.err;
    EXPECT_NE(burn.err.find("The firmware was written and verified, but it could not be marked "
                            "valid"),
              std::string::npos)
        << burn.err;
    EXPECT_NE(burn.err.find("The board needs a new burn"), std::string::npos) << burn.err;
    const nlohmann::json json = Json(burn.out);
    EXPECT_EQ(json["firmware_not_marked_valid"], true) << burn.out;
    EXPECT_EQ(json["not_updated_areas"], nlohmann::json::array({"firmware"}));
}

// A read that fails in the compare after the burn fails the burn as verify's would (exit 1),
// without a made-up first difference.
TEST_F(FlashCliTest, FailedReadInTheCompareIsAFailureNotADifference) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    SetFault("fail_exchange", ExchangesOf("flash burn " + file) - 1);
    const CliRun burn = Cli("--json flash burn " + file);
    EXPECT_EQ(burn.exitCode, 1) << burn.err;
    const nlohmann::json json = Json(burn.out);
    EXPECT_EQ(json["compare_failed"], false) << burn.out;
    EXPECT_TRUE(json["first_difference"].is_null()) << burn.out;
    EXPECT_NE(json["error"].get<std::string>().find("Reading the flash back"), std::string::npos)
        << burn.out;
}

// A device whose flash input reports are shorter than a chunk: the burn is refused before a
// byte is written.
TEST_F(FlashCliTest, BurnThatCouldNotBeComparedIsRefusedFirst) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("input_report_lengths/0", 1000, "/");
    const CliRun burn = Cli("flash burn " + file);
    EXPECT_EQ(burn.exitCode, 1) << burn.err;
    EXPECT_NE(burn.err.find("Nothing was written."), std::string::npos) << burn.err;
    EXPECT_EQ(burn.err.find("Write Entire Flash"), std::string::npos) << burn.err;
}

}  // namespace
}  // namespace brimlo::flash::testing
