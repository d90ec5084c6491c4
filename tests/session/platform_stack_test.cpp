// The stack the front ends open devices on: option mistakes are usage errors found before any
// file is made, the emulated device is found through it, --path narrows it, --trace records.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hid/hid_interface_list.h"
#include "process_runner.h"
#include "session/platform_stack.h"

namespace brimlo::session {
namespace {

namespace fs = std::filesystem;

class PlatformStackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("brimlo-session-" + std::to_string(testing::CurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    StackOptions Simulated() const {
        StackOptions options;
        options.simulate = true;
        options.simState = (dir / "state").string();
        return options;
    }

    fs::path dir;
};

TEST_F(PlatformStackTest, OptionMistakesAreUsageErrorsAndLeaveNoFile) {
    StackOptions stateAlone;
    stateAlone.simState = (dir / "state").string();
    stateAlone.traceFile = (dir / "trace.jsonl").string();
    EXPECT_TRUE(CheckStackOptions(stateAlone));
    EXPECT_FALSE(CheckStackOptions(Simulated()));
    StackError error;
    EXPECT_EQ(PlatformStack::Create(stateAlone, error), nullptr);
    EXPECT_EQ(error.kind, StackError::Kind::Usage);
    EXPECT_NE(error.message.find("--simulate"), std::string::npos) << error.message;
    EXPECT_FALSE(fs::exists(dir / "trace.jsonl"));
    EXPECT_FALSE(fs::exists(dir / "state"));

    StackOptions unwritableTrace = Simulated();
    unwritableTrace.traceFile = (dir / "no-such-folder" / "trace.jsonl").string();
    error = {};
    EXPECT_EQ(PlatformStack::Create(unwritableTrace, error), nullptr);
    EXPECT_EQ(error.kind, StackError::Kind::Usage);
    EXPECT_NE(error.message.find(unwritableTrace.traceFile), std::string::npos) << error.message;
}

TEST_F(PlatformStackTest, BrokenEmulatedDeviceIsNoDevice) {
    fs::create_directories(dir / "state");
    std::ofstream(dir / "state" / "device.json") << "{\"vid\": ";
    StackError error;
    EXPECT_EQ(PlatformStack::Create(Simulated(), error), nullptr);
    EXPECT_EQ(error.kind, StackError::Kind::NoDevice);
    EXPECT_NE(error.message.find("device.json"), std::string::npos) << error.message;
}

TEST_F(PlatformStackTest, EmulatedDeviceIsListedMatchedAndIdentifiedByPath) {
    StackError error;
    auto stack = PlatformStack::Create(Simulated(), error);
    ASSERT_NE(stack, nullptr) << error.message;
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string listError;
    ASSERT_TRUE(hid::DescribeHidInterfaces(stack->Platform(), interfaces, listError));
    ASSERT_EQ(interfaces.size(), 1u);
    const std::string path = interfaces[0].path;
    EXPECT_FALSE(stack->PathIdentity(error)) << "no --path given";

    StackOptions narrowed = Simulated();
    narrowed.path = path;
    stack.reset();
    stack = PlatformStack::Create(narrowed, error);
    ASSERT_NE(stack, nullptr) << error.message;
    const auto ids = stack->PathIdentity(error);
    ASSERT_TRUE(ids) << error.message;
    EXPECT_EQ(ids->first, BRIMLO_DEFAULT_VID);
    EXPECT_EQ(ids->second, BRIMLO_DEFAULT_PID);

    narrowed.path = "/dev/no-such-hidraw";
    stack.reset();
    stack = PlatformStack::Create(narrowed, error);
    ASSERT_NE(stack, nullptr) << error.message;
    interfaces.clear();
    ASSERT_TRUE(hid::DescribeHidInterfaces(stack->Platform(), interfaces, listError));
    ASSERT_EQ(interfaces.size(), 1u);
    EXPECT_EQ(interfaces[0].path, "/dev/no-such-hidraw") << "only the named interface is shown";
    EXPECT_FALSE(stack->PathIdentity(error));
    EXPECT_EQ(error.kind, StackError::Kind::NoDevice);
    EXPECT_NE(error.message.find("/dev/no-such-hidraw"), std::string::npos) << error.message;
}

TEST_F(PlatformStackTest, TraceRecordsTheExchangesOfDevicesOpenedOnTheStack) {
    StackOptions options = Simulated();
    options.traceFile = (dir / "trace.jsonl").string();
    StackError error;
    auto stack = PlatformStack::Create(options, error);
    ASSERT_NE(stack, nullptr) << error.message;
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string listError;
    ASSERT_TRUE(hid::DescribeHidInterfaces(stack->Platform(), interfaces, listError));
    ASSERT_EQ(interfaces.size(), 1u);
    auto connection = stack->Platform().Open(interfaces[0].path, {}, listError);
    ASSERT_NE(connection, nullptr) << listError;
    std::vector<std::uint8_t> report(64, 0);
    report[0] = 2;
    connection->SendOutputReport(report);
    connection.reset();
    stack.reset();

    std::ifstream in(options.traceFile, std::ios::binary);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line.rfind(R"({"op":"set_output","report_id":2,"length":64,)", 0), 0u) << line;
}

TEST_F(PlatformStackTest, NoDefaultStateDirectoryIsAUsageError) {
    // Every variable a default state directory could come from, on either system.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : {"HOME", "XDG_CACHE_HOME", "LOCALAPPDATA"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        testing::SetEnvironment(name, std::nullopt);
    }
    StackOptions options;
    options.simulate = true;
    StackError error;
    const bool created = PlatformStack::Create(options, error) != nullptr;
    options.simBoards = 2;
    StackError boardsError;
    const bool boardsCreated = PlatformStack::Create(options, boardsError) != nullptr;
    for (const auto& [name, value] : saved) {
        testing::SetEnvironment(name, value);
    }
    EXPECT_FALSE(created);
    EXPECT_EQ(error.kind, StackError::Kind::Usage);
    EXPECT_NE(error.message.find("--sim-state"), std::string::npos) << error.message;
    EXPECT_FALSE(boardsCreated);
    EXPECT_EQ(boardsError.kind, StackError::Kind::Usage);
    EXPECT_NE(boardsError.message.find("--sim-state"), std::string::npos) << boardsError.message;
}

TEST_F(PlatformStackTest, EmulatedBoardsComeWithTheirPlugScript) {
    StackOptions options = Simulated();
    options.simBoards = 2;
    options.simHotplug = "0:+2";
    StackError error;
    auto stack = PlatformStack::Create(options, error);
    ASSERT_NE(stack, nullptr) << error.message;
    std::vector<hid::HidInterfaceInfo> interfaces;
    std::string listError;
    ASSERT_TRUE(hid::DescribeHidInterfaces(stack->Platform(), interfaces, listError));
    ASSERT_EQ(interfaces.size(), 1u) << "only board 2 is plugged in";
    EXPECT_EQ(interfaces[0].location.port, "1-2");
    EXPECT_EQ(interfaces[0].location.serial, "SIM0002");
    EXPECT_NE(stack->Hotplug(error), nullptr) << error.message;
    stack.reset();

    struct Wrong {
        std::size_t boards;
        bool simulate;
        const char* script;
        const char* says;
    };
    for (const Wrong& wrong :
         {Wrong{2, false, "", "--simulate"}, Wrong{0, true, "0:+1", "--sim-boards"},
          Wrong{2, true, "0:+3", "SECONDS:+K"}}) {
        StackOptions bad = Simulated();
        bad.simulate = wrong.simulate;
        bad.simState = wrong.simulate ? bad.simState : "";
        bad.simBoards = wrong.boards;
        bad.simHotplug = wrong.script;
        EXPECT_EQ(PlatformStack::Create(bad, error), nullptr) << wrong.says;
        EXPECT_EQ(error.kind, StackError::Kind::Usage);
        EXPECT_NE(error.message.find(wrong.says), std::string::npos) << error.message;
    }

    stack = PlatformStack::Create(Simulated(), error);
    ASSERT_NE(stack, nullptr) << error.message;
    EXPECT_EQ(stack->Hotplug(error), nullptr) << "one emulated device never comes or goes";
    EXPECT_EQ(error.kind, StackError::Kind::Usage);
}

}  // namespace
}  // namespace brimlo::session
