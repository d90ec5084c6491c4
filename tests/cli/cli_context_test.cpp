// The reporting every command shares: under --json one object per run, whatever the command
// printed or failed with, and a usage error's exit code kept whatever the command returns.
// And flash dump --all's file names: a port or serial is the device's own text and must never
// lead the file out of the folder the user chose or into a name a system refuses.

#include <gtest/gtest.h>

#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/all_boards.h"
#include "cli/cli_context.h"

namespace brimlo::cli {
namespace {

// Runs `command` on a context and gives what reached stdout and the exit code.
struct Captured {
    std::string out;
    int code = -1;
};

template <typename Command>
Captured Capture(bool json, Command command) {
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    std::ostringstream err;
    std::streambuf* savedErr = std::cerr.rdbuf(err.rdbuf());
    CliContext context;
    context.options.json = json;
    context.command = "test run";
    const int code = context.Finish(command(context));
    std::cout.rdbuf(saved);
    std::cerr.rdbuf(savedErr);
    return {out.str(), code};
}

TEST(CliContextReport, JsonRunsPrintOneObjectWithTheErrorOnlyOnFailure) {
    const Captured merged = Capture(true, [](CliContext& context) {
        context.Print({{"first", 1}, {"error", ""}}, "text");
        context.Print({{"second", 2}}, "more text");
        return kExitOk;
    });
    EXPECT_EQ(merged.code, kExitOk);
    EXPECT_EQ(nlohmann::json::parse(merged.out),
              (nlohmann::json{{"command", "test run"}, {"first", 1}, {"second", 2}}));
    EXPECT_EQ(merged.out.find('\n'), merged.out.size() - 1) << "one line";

    const Captured failed = Capture(true, [](CliContext& context) {
        context.Print({{"bytes", 10}}, "");
        context.Error("the disk is full");
        context.Error("and a later consequence");
        return kExitFailed;
    });
    EXPECT_EQ(failed.code, kExitFailed);
    EXPECT_EQ(
        nlohmann::json::parse(failed.out),
        (nlohmann::json{{"command", "test run"}, {"bytes", 10}, {"error", "the disk is full"}}));

    const Captured ownError = Capture(true, [](CliContext& context) {
        context.Print({{"error", "compare failed at 0x10"}}, "");
        return kExitCompareFailed;
    });
    EXPECT_EQ(nlohmann::json::parse(ownError.out)["error"], "compare failed at 0x10");
}

TEST(CliContextReport, UsageErrorDecidesTheExitCodeWhateverTheCommandReturns) {
    const Captured json = Capture(true, [](CliContext& context) {
        context.Error("-d wants VID:PID", kExitUsage);
        return kExitNoDevice;
    });
    EXPECT_EQ(json.code, kExitUsage);
    EXPECT_EQ(nlohmann::json::parse(json.out)["error"], "-d wants VID:PID");

    const Captured text = Capture(false, [](CliContext& context) {
        context.Error("-d wants VID:PID", kExitUsage);
        return kExitNoDevice;
    });
    EXPECT_EQ(text.code, kExitUsage);
    EXPECT_EQ(text.out, "") << "errors go to stderr only";
}

TEST(CliContextReport, BytesThatAreNotUtf8AreReplacedNotFatal) {
    const Captured run = Capture(true, [](CliContext& context) {
        context.Print({{"file", "dump-\xff\xfe.bin"}}, "");
        return kExitOk;
    });
    EXPECT_EQ(nlohmann::json::parse(run.out)["file"], "dump-\xef\xbf\xbd\xef\xbf\xbd.bin");
}

boards::Board BoardWith(const std::string& port, const std::string& serial) {
    return boards::Board{"/dev/hidraw0", port, serial};
}

TEST(DumpFileName, PortsAndPlainSerialsAreKept) {
    EXPECT_EQ(DumpFileName("dump-{port}.bin", BoardWith("1-1.2", "")), "dump-1-1.2.bin");
    EXPECT_EQ(DumpFileName("{serial}/{port}.bin", BoardWith("3-4", "AB_12-x")), "AB_12-x/3-4.bin");
    EXPECT_EQ(DumpFileName("d-{serial}.bin", BoardWith("", "Zoë")), "d-Zoë.bin");
    EXPECT_EQ(DumpFileName("d-{serial}.bin", BoardWith("1-1", "")), "d-none.bin");
}

TEST(DumpFileName, SerialsCannotClimbOutOrNameWhatWindowsRefuses) {
    EXPECT_EQ(DumpFileName("{serial}", BoardWith("", "..")), "__");
    EXPECT_EQ(DumpFileName("out/{serial}.bin", BoardWith("", "../../etc/x")),
              "out/.._.._etc_x.bin");
    EXPECT_EQ(DumpFileName("{serial}.bin", BoardWith("", "..\\x")), ".._x.bin");
    EXPECT_EQ(DumpFileName("{serial}.bin", BoardWith("", "a:b*c?d\"e<f>g|h")),
              "a_b_c_d_e_f_g_h.bin");
    EXPECT_EQ(DumpFileName("{serial}.bin", BoardWith("", std::string("a\nb\x01", 4))), "a_b_.bin");
}

}  // namespace
}  // namespace brimlo::cli
