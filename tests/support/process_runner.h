#pragma once
// What the suites need from the system around a test program: running another program with its
// output captured, this process's id for names of its own, and its environment.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brimlo::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not be started or did not exit by itself
    std::string out;
    std::string err;
    std::string outBytes;  // standard output byte for byte, for programs that write binary data
};

// Runs `program` with `arguments` (UTF-8) until it exits. Standard input is empty; standard
// output and error go to files in `scratch`, read back into the result as text whose lines
// end with LF (on Windows, too), and standard output also as it was written.
ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& scratch);

// Splits a command line into arguments at spaces; text in single quotes is one argument (or
// part of one) taken literally, as a shell would.
std::vector<std::string> SplitArguments(const std::string& line);

// This process's id.
long CurrentProcessId();

// Sets the environment variable `name` of this process, or removes it with nothing.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

}  // namespace brimlo::testing
