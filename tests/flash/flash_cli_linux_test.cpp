// The flash commands of brimlo-hid where Linux is needed: named pipes in the file system, and
// Ctrl+C, which reaches the tool as SIGINT.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "flash_cli_fixture.h"

extern char** environ;

namespace brimlo::flash::testing {
namespace {

class FlashCliLinuxTest : public FlashCliTest {
  protected:
    // Starts the tool without waiting for it; it prints to the files "out" and "err".
    pid_t Start(const std::string& args) const {
        std::vector<std::string> words = Arguments(args);
        words.insert(words.begin(), BRIMLO_HID_BINARY);
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, Path("out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, Path("err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        const int failed =
            ::posix_spawn(&pid, BRIMLO_HID_BINARY, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed == 0 ? pid : -1;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Runs the tool to its end; a run that hangs is killed after 20 seconds.
    CliRun RunWithin20Seconds(const std::string& args) const {
        const pid_t pid = Start(args);
        if (pid < 0) {
            return {-1, "", "cannot start " BRIMLO_HID_BINARY, ""};
        }
        int status = 0;
        if (!WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 2000)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return {-1, Text("out"), "still running after 20 s: " + Text("err"), Text("out")};
        }
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text("out"), Text("err"),
                Text("out")};
    }
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
};

// A named pipe is refused at once as a burn file (burn, verify and image info alike) instead of
// waiting for a writer; nor is it taken as the dump file, with or without --force.
TEST_F(FlashCliLinuxTest, NamedPipesAreRefusedAtOnce) {
    const std::string pipe = Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const char* command : {"flash burn ", "image info ", "flash verify "}) {
        const CliRun run = RunWithin20Seconds(command + pipe);
        EXPECT_EQ(run.exitCode, 1) << command << pipe << "\n" << run.err;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    }
    for (const char* force : {"", "--force "}) {
        const CliRun dump = RunWithin20Seconds(std::string("flash dump ") + force + pipe);
        EXPECT_EQ(dump.exitCode, 1) << dump.err;
        EXPECT_NE(dump.err.find("is not a regular file"), std::string::npos) << dump.err;
    }
}

// Ctrl+C during a dump: the report in flight is finished, the dump stops, and the tool says how
// many bytes the partial file holds and where it is, then exits 130.
TEST_F(FlashCliLinuxTest, CtrlCStopsADumpAndSaysWhereTheBytesAre) {
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("latency_us", 2000);
    const pid_t pid = Start("flash dump " + Path("dump.bin"));
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] {
        const std::vector<std::string> partial = FilesStartingWith("dump.bin.partial-");
        return !partial.empty() && std::filesystem::file_size(partial[0]) >= 3 * 4096;
    }));
    ::kill(pid, SIGINT);
    EXPECT_EQ(Wait(pid), 130);
    const std::string err = Text("err");
    std::smatch match;
    ASSERT_TRUE(
        std::regex_search(err, match,
                          std::regex("stopped on request after ([0-9]+) of 8388608 "
                                     "bytes. The ([0-9]+) bytes read were written to (.*)\\.\n")))
        << err;
    const std::uintmax_t bytes = std::stoull(match[1]);
    EXPECT_EQ(match[2], match[1]);
    EXPECT_EQ(bytes % 4096, 0u);
    EXPECT_EQ(std::filesystem::file_size(match[3].str()), bytes);
    EXPECT_FALSE(std::filesystem::exists(Path("dump.bin")));
}

// Ctrl+C during a burn: the first only warns and the burn goes on; the second stops it at the
// next report, says what was and was not updated, and the tool exits 130.
TEST_F(FlashCliLinuxTest, CtrlCDuringABurnWarnsFirstAndStopsOnTheSecond) {
    const std::string file = dir.Write("image.bin", FlashImage(0x10000, 0x1)).string();
    ASSERT_EQ(Cli("flash id").exitCode, 0);
    SetFault("latency_us", 2000);
    const pid_t pid = Start("flash burn " + file);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(
        WaitFor([&] { return Text("err").find("Write Entire Flash") != std::string::npos; }));
    ::kill(pid, SIGINT);
    ASSERT_TRUE(WaitFor([&] { return Text("err").find("A burn is running") != std::string::npos; }))
        << Text("err");
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the first Ctrl+C does not stop the burn";
    ::kill(pid, SIGINT);
    EXPECT_EQ(Wait(pid), 130);
    const std::string err = Text("err");
    EXPECT_NE(err.find("stopping it now leaves the board needing a new burn"), std::string::npos);
    EXPECT_NE(err.find("The burn was stopped on request.\n\nNot updated:\n- Entire Flash\n\nThe "
                       "board needs a new burn"),
              std::string::npos)
        << err;
}

}  // namespace
}  // namespace brimlo::flash::testing
