// Several emulated boards through the command line: choosing one, refusing to guess, --all
// with its summary and exit code, dumps named per board, and the station with its log.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace {

namespace fs = std::filesystem;
using brimlo::testing::CliRun;
using brimlo::testing::CliTest;

class BoardsCliTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        image = state / "image.bin";
        bytes.resize(128 * 1024);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i * 11 + i / 1000);
        }
        std::ofstream(image, std::ios::binary).write(bytes.data(), bytes.size());
    }
    // Board K's device.json, written before the first run made it.
    void Board(int k, const std::string& extra) {
        const fs::path dir = state / ("board-" + std::to_string(k));
        fs::create_directories(dir);
        std::ofstream(dir / "device.json")
            << R"({"port": "1-)" << k << R"(", "serial": "SIM000)" << k << "\"" << extra << "}";
    }
    std::string FlashStart(int k) {
        std::ifstream in(state / ("board-" + std::to_string(k)) / "flash.bin", std::ios::binary);
        std::string start(bytes.size(), '\0');
        in.read(start.data(), start.size());
        return start;
    }
    static std::vector<nlohmann::json> Lines(const std::string& text) {
        std::vector<nlohmann::json> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(nlohmann::json::parse(line));
        }
        return lines;
    }
    // By coreutils, a second implementation to check the log's against.
    std::string Sha256() {
        std::FILE* pipe = ::popen(("sha256sum '" + image.string() + "'").c_str(), "r");
        char digest[65] = "";
        if (pipe != nullptr) {
            digest[std::fread(digest, 1, 64, pipe)] = '\0';
            ::pclose(pipe);
        }
        return digest;
    }

    fs::path image;
    std::string bytes;
};

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

TEST_F(BoardsCliTest, StationBurnsBoardsAsTheyComeAndLogsEach) {
    for (int k = 1; k <= 3; ++k) {
        Board(k, R"(, "faults": {"latency_us": 5000})");
    }
    const fs::path log = state / "station.log";
    const CliRun station =
        Cli("--sim-boards 3 --sim-hotplug 0:+1,0.2:+2,0.4:+3,0.6:-3,1:+3 station burn '" +
            image.string() + "' --count 3 --log '" + log.string() + "'");
    EXPECT_EQ(station.exitCode, 1) << station.out << station.err;  // the pulled board's
    EXPECT_NE(station.out.find("unplugged mid-burn"), std::string::npos) << station.out;
    EXPECT_TRUE(FlashStart(1) == bytes);
    EXPECT_TRUE(FlashStart(2) == bytes);
    EXPECT_TRUE(FlashStart(3) == bytes) << "burned again once it was back";

    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    const auto lines = Lines(text.str());
    ASSERT_EQ(lines.size(), 4u) << text.str();
    const std::string sha = Sha256();
    int ok = 0;
    int unplugged = 0;
    for (const auto& line : lines) {
        EXPECT_EQ(line["image"], "image.bin");
        EXPECT_EQ(line["image_sha256"], sha);
        EXPECT_EQ(line["job"], "burn");
        EXPECT_EQ(line["areas"], nlohmann::json::array({"entire"}));
        EXPECT_EQ(line["time"].get<std::string>().back(), 'Z');
        EXPECT_TRUE(line["seconds"].is_number());
        EXPECT_FALSE(line["serial"].get<std::string>().empty());
        if (line["result"] == "unplugged") {
            EXPECT_EQ(line["port"], "1-3");
            ++unplugged;
        } else {
            EXPECT_EQ(line["result"], "ok") << line.dump();
            EXPECT_FALSE(line["chip"].get<std::string>().empty());
            ++ok;
        }
    }
    EXPECT_EQ(ok, 3);
    EXPECT_EQ(unplugged, 1);
}

TEST_F(BoardsCliTest, StationNeedsBoardsThatComeAndGo) {
    const CliRun one = Cli("station id --count 1");
    EXPECT_EQ(one.exitCode, 2);
    EXPECT_NE(one.err.find("--sim-boards"), std::string::npos) << one.err;
    EXPECT_EQ(Cli("--sim-hotplug 0:+1 station id").exitCode, 2);
    EXPECT_EQ(Cli("--sim-boards 2 --sim-hotplug 0:+3 station id").exitCode, 2);
    const CliRun ids = Cli("--sim-boards 2 station id --count 2");
    EXPECT_EQ(ids.exitCode, 0) << ids.err;
    EXPECT_NE(ids.out.find("2 boards: 2 ok"), std::string::npos) << ids.out;
}

}  // namespace
