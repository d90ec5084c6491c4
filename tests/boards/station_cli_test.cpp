// The station through the command line: boards burned as they are plugged in, each job in its
// log, and the emulated boards it needs.

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "boards_cli_fixture.h"
#include "running_process.h"

namespace {

using brimlo::testing::CliRun;
namespace fs = std::filesystem;

class StationCliTest : public brimlo::testing::BoardsCliTest {
  protected:
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
};

TEST_F(StationCliTest, StationBurnsBoardsAsTheyComeAndLogsEach) {
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
        EXPECT_TRUE(line["time"].get<std::string>().ends_with('Z'));
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

TEST_F(StationCliTest, StationNeedsBoardsThatComeAndGo) {
    const CliRun one = Cli("station id --count 1");
    EXPECT_EQ(one.exitCode, 2);
    EXPECT_NE(one.err.find("--sim-boards"), std::string::npos) << one.err;
    EXPECT_EQ(Cli("--sim-hotplug 0:+1 station id").exitCode, 2);
    EXPECT_EQ(Cli("--sim-boards 2 --sim-hotplug 0:+3 station id").exitCode, 2);
    // The count is hexadecimal like every number.
    const CliRun ids = Cli("--sim-boards 10 station id --count a");
    EXPECT_EQ(ids.exitCode, 0) << ids.err;
    EXPECT_NE(ids.out.find("10 boards: 10 ok"), std::string::npos) << ids.out;
}

// SIGINT (Ctrl+C), SIGTERM from a service manager and SIGHUP from a closed terminal end the
// station alike: the running burn finishes the region it is writing, the verify after it is not
// started, the board's line is logged, and the tool and the board's JSON say 128 + the signal.
class StationSignalTest : public StationCliTest, public ::testing::WithParamInterface<int> {};

TEST_P(StationSignalTest, FinishesTheRegionBeingWrittenAndLogsTheBoard) {
    Board(1, R"(, "faults": {"latency_us": 20000})");
    const fs::path log = state / "station.log";
    const long pid = brimlo::testing::StartProcess(
        BRIMLO_HID_BINARY,
        brimlo::testing::SplitArguments("--simulate --sim-state '" + state.string() +
                                        "' --sim-boards 1 --json station burn '" + image.string() +
                                        "' --log '" + log.string() + "'"),
        state);
    ASSERT_GT(pid, 0);
    // Once the first 4 KB are burned: the burn is under way.
    for (int i = 0; i < 1000 && FlashStart(1).compare(0, 4096, bytes, 0, 4096) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(static_cast<pid_t>(pid), GetParam());
    const CliRun run = brimlo::testing::WaitForProcess(pid, state, std::chrono::seconds(20));
    EXPECT_EQ(run.exitCode, 128 + GetParam()) << run.out << run.err;
    const std::string name =
        GetParam() == SIGINT ? "Ctrl+C" : "SIG" + std::string(::sigabbrev_np(GetParam()));
    EXPECT_NE(run.err.find("stopped by " + name), std::string::npos) << run.err;
    EXPECT_TRUE(FlashStart(1) == bytes) << "the region being written was finished";
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    const auto lines = Lines(text.str());
    ASSERT_EQ(lines.size(), 1u) << text.str();
    EXPECT_EQ(lines[0]["port"], "1-1");
    EXPECT_EQ(lines[0]["result"], "stopped") << lines[0].dump();
    const auto objects = Lines(run.out);  // the board's, then the summary
    ASSERT_EQ(objects.size(), 2u) << run.out;
    EXPECT_EQ(objects[0]["exit_code"], 128 + GetParam()) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Signals, StationSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

}  // namespace
