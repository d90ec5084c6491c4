#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "process_runner.h"
#include "running_process.h"

extern char** environ;

namespace brimlo::testing {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

ProcessResult Ended(int status, const std::filesystem::path& scratch) {
    ProcessResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.outBytes = ReadAll(scratch / "stdout.txt");
    result.out = result.outBytes;
    result.err = ReadAll(scratch / "stderr.txt");
    return result;
}

}  // namespace

long StartProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& scratch) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (scratch / "stdout.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (scratch / "stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

ProcessResult WaitForProcess(long pid, const std::filesystem::path& scratch,
                             std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(static_cast<pid_t>(pid), &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= end) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            ::waitpid(static_cast<pid_t>(pid), &status, 0);
            ProcessResult result = Ended(status, scratch);
            result.exitCode = -1;
            result.err =
                "still running after " + std::to_string(limit.count()) + " ms: " + result.err;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Ended(status, scratch);
}

ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& scratch) {
    const long pid = StartProcess(program, arguments, scratch);
    if (pid < 0) {
        ProcessResult result;
        result.err = "cannot start " + program.string();
        return result;
    }
    int status = 0;
    while (::waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
    }
    return Ended(status, scratch);
}

long CurrentProcessId() {
    return static_cast<long>(::getpid());
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

}  // namespace brimlo::testing
