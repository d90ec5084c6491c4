#pragma once
// Linux: a program started without waiting for it, for the suites that signal it while it runs.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "process_runner.h"

namespace brimlo::testing {

// Starts `program` as RunProcess does, its output going to stdout.txt and stderr.txt in
// `scratch`; its process id, or -1 when it cannot be started.
long StartProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& scratch);
// Waits for it to exit; one still running after `limit` is killed and gets exit code -1.
ProcessResult WaitForProcess(long pid, const std::filesystem::path& scratch,
                             std::chrono::milliseconds limit);

}  // namespace brimlo::testing
