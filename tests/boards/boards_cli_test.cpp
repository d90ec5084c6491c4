// Several emulated boards through the command line: choosing one, refusing to guess, --all
// with its summary and exit code, dumps named per board.

#include "boards_cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using brimlo::testing::BoardsCliTest;
using brimlo::testing::CliRun;

TEST_F(BoardsCliTest, ListShowsPortAndSerialAndFlashCommandsRefuseToGuess) {
    const CliRun list = Cli("--sim-boards 2 --json list");
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const auto json = nlohmann::json::parse(list.out);
    ASSERT_EQ(json["interfaces"].size(), 2u);
    EXPECT_EQ(json["interfaces"][1]["port"], "1-2");
    EXPECT_EQ(json["interfaces"][1]["serial"], "SIM0002");
    const CliRun text = Cli("--sim-boards 2 list");
    EXPECT_NE(text.out.find("port 1-1  serial SIM0001"), std::string::npos) << text.out;

    for (const char* command :
         {"flash id", "flash dump d.bin", "flash verify IMG", "flash burn IMG"}) {
        std::string args = command;
        if (const auto at = args.find("IMG"); at != std::string::npos) {
            args.replace(at, 3, "'" + image.string() + "'");
        }
        const CliRun refused = Cli("--sim-boards 2 " + args);
        EXPECT_EQ(refused.exitCode, 2) << command;
        EXPECT_NE(refused.err.find("2 boards match"), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("port 1-2  serial SIM0002"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(state / "d.bin"));

    const CliRun byPort = Cli("--sim-boards 2 --port 1-2 --json flash id");
    EXPECT_EQ(byPort.exitCode, 0) << byPort.err;
    const CliRun bySerial = Cli("--sim-boards 2 --serial SIM0001 flash id");
    EXPECT_EQ(bySerial.exitCode, 0) << bySerial.err;
    const CliRun none = Cli("--sim-boards 2 --port 9-9 flash id");
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_NE(none.err.find("No board matches"), std::string::npos) << none.err;

    // Peripheral commands take the first and say so.
    const CliRun version = Cli("--sim-boards 2 fw-version");
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_NE(version.err.find("using the first"), std::string::npos) << version.err;
    EXPECT_NE(version.err.find("port 1-1"), std::string::npos) << version.err;
    EXPECT_EQ(Cli("--sim-boards 2 --all fw-version").exitCode, 2);

    // --path names one board: --port or --serial beside it is a usage error before anything
    // runs, whether they agree or not, for one board or all.
    const std::string path = json["interfaces"][0]["path"];
    for (const char* args : {"--port 1-2 flash id", "--port 1-1 flash id", "--serial SIM0001 info",
                             "--serial SIM0002 --all flash id"}) {
        const CliRun both = Cli("--sim-boards 2 --path '" + path + "' " + args);
        EXPECT_EQ(both.exitCode, 2) << args << "\n" << both.err;
        EXPECT_NE(both.err.find("not both"), std::string::npos) << both.err;
    }
    EXPECT_EQ(Cli("--sim-boards 2 --path '" + path + "' flash id").exitCode, 0);
}

TEST_F(BoardsCliTest, ThreeBoardsBurnedWithAllEachHoldTheImage) {
    const CliRun burn = Cli("--sim-boards 3 --all flash burn '" + image.string() + "'");
    ASSERT_EQ(burn.exitCode, 0) << burn.err;
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(FlashStart(k) == bytes) << "board " << k;
        EXPECT_NE(burn.out.find("1-" + std::to_string(k)), std::string::npos) << burn.out;
    }
    EXPECT_NE(burn.out.find("3 boards: 3 ok, 0 failed"), std::string::npos) << burn.out;
    // A board burned with --all verifies alone.
    EXPECT_EQ(Cli("--sim-boards 3 --port 1-3 flash verify '" + image.string() + "'").exitCode, 0);
}

TEST_F(BoardsCliTest, AFaultOnOneBoardFailsItAloneAndTheSummarySaysSo) {
    Board(1, "");
    Board(2, R"(, "faults": {"corrupt_read_at": "0x100"})");
    Board(3, "");
    const CliRun burn = Cli("--sim-boards 3 --all --json flash burn '" + image.string() + "'");
    EXPECT_EQ(burn.exitCode, 4) << burn.err;
    const auto lines = Lines(burn.out);
    ASSERT_EQ(lines.size(), 4u) << burn.out;
    EXPECT_EQ(lines[0]["result"], "ok");
    EXPECT_EQ(lines[1]["port"], "1-2");
    EXPECT_EQ(lines[1]["result"], "compare_failed");
    EXPECT_EQ(lines[1]["first_difference"]["address"], 0x100);
    EXPECT_EQ(lines[2]["result"], "ok");
    EXPECT_EQ(lines[3]["boards"], 3);
    EXPECT_EQ(lines[3]["failed"], 1);
    EXPECT_EQ(lines[3]["exit_code"], 4);
    EXPECT_TRUE(FlashStart(3) == bytes);

    const CliRun table = Cli("--sim-boards 3 --all flash verify '" + image.string() + "'");
    EXPECT_EQ(table.exitCode, 4);
    EXPECT_NE(table.out.find("3 boards: 2 ok, 1 failed"), std::string::npos) << table.out;
    EXPECT_NE(table.err.find("1-2: "), std::string::npos) << table.err;
}

TEST_F(BoardsCliTest, DumpAllNamesEachFileByItsBoard) {
    const CliRun same = Cli("--sim-boards 2 --all flash dump '" + (state / "d.bin").string() + "'");
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_NE(same.err.find("{port}"), std::string::npos) << same.err;
    ASSERT_EQ(Cli("--sim-boards 2 --port 1-2 flash burn '" + image.string() + "'").exitCode, 0);
    const CliRun dump =
        Cli("--sim-boards 2 --all flash dump '" + (state / "d-{port}-{serial}.bin").string() + "'");
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    ASSERT_TRUE(fs::exists(state / "d-1-1-SIM0001.bin"));
    std::ifstream in(state / "d-1-2-SIM0002.bin", std::ios::binary);
    std::string start(bytes.size(), '\0');
    in.read(start.data(), start.size());
    EXPECT_TRUE(start == bytes);
    EXPECT_EQ(fs::file_size(state / "d-1-1-SIM0001.bin"), 8u * 1024 * 1024);
}

}  // namespace
