// The flash commands of brimlo-hid where Linux is needed: named pipes in the file system, and
// the signals that stop a run: SIGINT (Ctrl+C), SIGTERM and SIGHUP.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "flash_cli_fixture.h"
#include "running_process.h"

namespace brimlo::flash::testing {
namespace {

class FlashCliLinuxTest : public FlashCliTest {
  protected:
    // A run a failed assertion left behind is not left running.
    void TearDown() override {
        if (running_ > 0) {
            ::kill(static_cast<pid_t>(running_), SIGKILL);
            ::waitpid(static_cast<pid_t>(running_), nullptr, 0);
        }
    }
    // Starts the tool without waiting for it; it prints to stdout.txt and stderr.txt.
    long Start(const std::string& args) {
        running_ = brimlo::testing::StartProcess(BRIMLO_HID_BINARY, Arguments(args), dir.path);
        return running_;
    }
    // Waits for the tool to end; a run that hangs is killed after 20 seconds.
    CliRun Wait(long pid) {
        running_ = -1;
        return brimlo::testing::WaitForProcess(pid, dir.path, std::chrono::seconds(20));
    }
    std::string Err() const { return Text("stderr.txt"); }
    // Waits up to `tries` times ten milliseconds for `ready`.
    static bool WaitFor(const std::function<bool()>& ready, int tries = 1000) {
        for (int i = 0; i < tries; ++i) {
            if (ready()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

  private:
    long running_ = -1;
};

// A named pipe is refused at once as a burn file (burn, verify and image info alike) instead of
// waiting for a writer; nor is it taken as the dump file, with or without --force.
TEST_F(FlashCliLinuxTest, NamedPipesAreRefusedAtOnce) {
    const std::string pipe = Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const char* command : {"flash burn ", "image info ", "flash verify "}) {
        const CliRun run = Wait(Start(command + pipe));
        EXPECT_EQ(run.exitCode, 1) << command << pipe << "\n" << run.err;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    }
    for (const char* force : {"", "--force "}) {
        const CliRun dump = Wait(Start(std::string("flash dump ") + force + pipe));
        EXPECT_EQ(dump.exitCode, 1) << dump.err;
        EXPECT_NE(dump.err.find("is not a regular file"), std::string::npos) << dump.err;
    }
}

// A dump by the tool, to one file or with --all to one per board, writes the file through and
// flushes it to the disk once, before the rename, not once per report.
TEST_F(FlashCliLinuxTest, DumpsFlushOnceBeforeTheRename) {
    const std::string flushes = Path("flushes");
    brimlo::testing::SetEnvironment("BRIMLO_COUNT_FLUSHES", flushes);
    brimlo::testing::SetEnvironment("LD_PRELOAD", COUNT_FLUSHES_PRELOAD);
    const CliRun one = Cli("flash dump " + Path("one.bin"));
    const std::string afterOne = Text("flushes");
    const CliRun all = Cli("--all flash dump " + Path("all-{port}.bin"));
    brimlo::testing::SetEnvironment("LD_PRELOAD", std::nullopt);
    brimlo::testing::SetEnvironment("BRIMLO_COUNT_FLUSHES", std::nullopt);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(std::filesystem::file_size(Path("one.bin")), 8388608u);
    EXPECT_EQ(afterOne.size(), 1u) << "flushes of one dump";
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(FilesStartingWith("all-").size(), 1u);
    EXPECT_EQ(Text("flushes").size() - afterOne.size(), 1u) << "flushes of one board's dump";
}

// Ctrl+C (SIGINT), and SIGTERM from a service manager or SIGHUP from a closed terminal, which
// are taken the same way. The tool exits 128 + the signal that stopped the run.
class FlashCliSignalTest : public FlashCliLinuxTest, public ::testing::WithParamInterface<int> {};

// A dump: the report in flight is finished, the dump stops, and the tool says how many bytes the
// partial file holds and where it is.
TEST_P(FlashCliSignalTest, StopsADumpAndSaysWhereTheBytesAre) {
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("latency_us", 2000);
    const long pid = Start("flash dump " + Path("dump.bin"));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::string> partial = FilesStartingWith("dump.bin.partial-");
        return !partial.empty() && std::filesystem::file_size(partial[0]) >= 3 * 4096;
    }));
    ::kill(static_cast<pid_t>(pid), GetParam());
    const CliRun run = Wait(pid);
    EXPECT_EQ(run.exitCode, 128 + GetParam()) << run.err;
    std::smatch match;
    ASSERT_TRUE(
        std::regex_search(run.err, match,
                          std::regex("stopped on request after ([0-9]+) of 8388608 "
                                     "bytes. The ([0-9]+) bytes read were written to (.*)\\.\n")))
        << run.err;
    const std::uintmax_t bytes = std::stoull(match[1]);
    EXPECT_EQ(match[2], match[1]);
    EXPECT_EQ(bytes % 4096, 0u);
    EXPECT_EQ(std::filesystem::file_size(match[3].str()), bytes);
    EXPECT_FALSE(std::filesystem::exists(Path("dump.bin")));
}

// While the device is opened, before the dump's first report: the dump stops there and its
// empty partial file is removed, not left behind.
TEST_P(FlashCliSignalTest, BeforeTheFirstReportLeavesNoFile) {
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("latency_us", 200000);
    const long pid = Start("flash dump " + Path("dump.bin"));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return !FilesStartingWith("dump.bin.partial-").empty(); }));
    ::kill(static_cast<pid_t>(pid), GetParam());
    const CliRun run = Wait(pid);
    EXPECT_EQ(run.exitCode, 128 + GetParam()) << run.err;
    EXPECT_NE(run.err.find("stopped on request after 0 of 8388608 bytes. No file was kept."),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(FilesStartingWith("dump.bin").empty());
}

// A burn: the first signal only warns and the burn goes on; the second stops it at the next
// report and the tool says what was and was not updated.
TEST_P(FlashCliSignalTest, DuringABurnWarnsFirstAndStopsOnTheSecond) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("latency_us", 2000);
    const long pid = Start("flash burn " + file);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return Err().find("Write Entire Flash") != std::string::npos; }));
    ::kill(static_cast<pid_t>(pid), GetParam());
    ASSERT_TRUE(WaitFor([&] {
        return Err().find(
                   "A burn is running: stopping it now leaves the board needing a new "
                   "burn.") != std::string::npos;
    })) << Err();
    int status = 0;
    EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), &status, WNOHANG), 0)
        << "the first signal does not stop the burn";
    ::kill(static_cast<pid_t>(pid), GetParam());
    const CliRun run = Wait(pid);
    EXPECT_EQ(run.exitCode, 128 + GetParam()) << run.err;
    EXPECT_NE(
        run.err.find("The burn was stopped on request.\n\nNot updated:\n- Entire Flash\n\nThe "
                     "board needs a new burn"),
        std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(Signals, FlashCliSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

}  // namespace
}  // namespace brimlo::flash::testing
