// Wall time of the command-line tool's dump of the emulated device's 8 MB flash into a file
// against the same dump to standard output, in one run. Standard output goes into a file in the
// same folder, as a shell's `> file` does: the same bytes reach the same disk, so the dump
// file's own cost (its flushes, its partial file and rename) is the difference; and into
// /dev/null, the cost of the transfer alone. Rounds alternate; the median of each is shown.
//   cli_dump_bench [--rounds N] [--dir FOLDER] [--tool BRIMLO_HID]
// --dir puts the files on another disk (a USB stick); --tool measures another build.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs `tool` with `arguments`, standard output into `out` and its progress lines nowhere; its
// wall time, or a negative one when it failed.
double Run(const std::string& tool, std::vector<std::string> arguments, const fs::path& out) {
    arguments.insert(arguments.begin(), tool);
    std::vector<char*> argv;
    for (std::string& word : arguments) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failed != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string tool = BRIMLO_HID_BINARY;
    fs::path parent = fs::temp_directory_path();
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--dir") == 0) {
            parent = argv[i + 1];
        } else if (std::strcmp(argv[i], "--tool") == 0) {
            tool = argv[i + 1];
        }
    }
    const fs::path dir = parent / ("brimlo-cli-dump-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::vector<std::string> device = {"--simulate", "--sim-state", (dir / "sim").string()};
    const auto with = [&](std::vector<std::string> words) {
        words.insert(words.begin(), device.begin(), device.end());
        return words;
    };
    // The emulated device's state made and its flash file touched once, so no timed run pays.
    bool ok = Run(tool, with({"flash", "dump", "-"}), "/dev/null") >= 0;
    std::vector<double> toFile;
    std::vector<double> toStdout;
    std::vector<double> toNull;
    for (int round = 0; ok && round < rounds; ++round) {
        toFile.push_back(Run(tool, with({"flash", "dump", "--force", (dir / "dump.bin").string()}),
                             "/dev/null"));
        toStdout.push_back(Run(tool, with({"flash", "dump", "-"}), dir / "stdout.bin"));
        toNull.push_back(Run(tool, with({"flash", "dump", "-"}), "/dev/null"));
        ok = toFile.back() >= 0 && toStdout.back() >= 0 && toNull.back() >= 0 &&
             fs::file_size(dir / "dump.bin") == 8388608 &&
             fs::file_size(dir / "stdout.bin") == 8388608;
    }
    fs::remove_all(dir);
    if (!ok) {
        std::fprintf(stderr, "cli_dump_bench: a dump of 8 MB by %s failed\n", tool.c_str());
        return 1;
    }
    const double file = Median(toFile);
    const double out = Median(toStdout);
    const double null = Median(toNull);
    std::printf("flash dump of 8 MB, median of %d rounds, files in %s\n", rounds,
                parent.string().c_str());
    std::printf("FILE:                          %.3f s\n", file);
    std::printf("- > a file in the same folder: %.3f s\n", out);
    std::printf("- > /dev/null:                 %.3f s\n", null);
    std::printf("FILE / (- > a file):           %.2fx (goal: at most 1.20x)\n", file / out);
    std::printf("FILE / (- > /dev/null):        %.2fx\n", file / null);
    return 0;
}
