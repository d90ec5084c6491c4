// Linux file names are bytes, UTF-8 or not: the command line takes them as they are and its
// JSON still prints.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_runner.h"

namespace {

namespace fs = std::filesystem;
using brimlo::testing::CliRun;
using brimlo::testing::CliTest;
using brimlo::testing::OneObject;

TEST_F(CliTest, FileNamesThatAreNotUtf8StillPrintAsJson) {
    const fs::path odd = state / "caf\xe9-\xff";
    fs::create_directories(odd);
    for (const char* command : {"info", "list"}) {
        const CliRun run =
            Run(std::string("--json --simulate --sim-state '") + odd.string() + "' " + command);
        EXPECT_EQ(run.exitCode, 0) << command << "\n" << run.err;
        nlohmann::json object;
        ASSERT_TRUE(OneObject(run, object)) << command;
        EXPECT_NE(run.out.find("caf\xef\xbf\xbd-\xef\xbf\xbd"), std::string::npos)
            << "each byte that is not UTF-8 becomes U+FFFD: " << run.out;
    }
}

}  // namespace
