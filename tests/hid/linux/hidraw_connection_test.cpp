// Report exchanges of a hidraw connection against a fake kernel: what reaches the wire, what
// comes back into the caller's buffer, and how failures read.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#include "hid/linux/hidraw_platform.h"
#include "tests/hid/linux/fake_hidraw_system.h"
#include "tests/hid/linux/test_support.h"

namespace brimlo::hid::testing {
namespace {

constexpr const char* kPath = "/dev/hidraw3";

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

class HidrawConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        system_->nodes[kPath] = FakeHidrawSystem::Node{};
        Open();
    }

    void Open() {
        HidrawPlatform platform(system_, "rules/70-test.rules");
        std::string error;
        connection_ = platform.Open(kPath, HidOpenOptions{}, error);
        ASSERT_NE(connection_, nullptr) << error;
    }

    CapturedDebugOutput debug_;  // keeps the failure lines off the test log
    std::shared_ptr<FakeHidrawSystem> system_ = std::make_shared<FakeHidrawSystem>();
    std::unique_ptr<HidConnection> connection_;
};

using HidrawInputReportTest = HidrawConnectionTest;

TEST_F(HidrawInputReportTest, CommandCodeTravelsInWLengthAndReplyIsCutToTheBuffer) {
    // Input capability with ReportCount 63 and command code 2: L | 2 << 8.
    const std::uint32_t requested = 64 | (2 << 8);
    system_->reply = Pattern(requested, 0x10);  // a device that fills all of wLength
    std::vector<std::uint8_t> buffer(64, 0xEE);

    const auto placed = connection_->GetInputReport(7, requested, buffer);

    ASSERT_EQ(placed, 64u) << connection_->LastError();
    ASSERT_EQ(system_->gets.size(), 1u);
    EXPECT_EQ(system_->gets[0].reportId, 7);
    EXPECT_EQ(system_->gets[0].ioctlLength, requested);
    EXPECT_EQ(system_->gets[0].wLength, requested);
    EXPECT_GE(system_->gets[0].bufferCapacity, requested);
    EXPECT_EQ(buffer,
              std::vector<std::uint8_t>(system_->reply.begin(), system_->reply.begin() + 64));
    EXPECT_EQ(connection_->LastError(), "");
}

TEST_F(HidrawInputReportTest, ReportIdZeroAsksForTheRequestedLengthAndMovesTheReplyDown) {
    const std::uint32_t requested = 64 | (11 << 8);
    system_->reply = Pattern(40, 0xA5);
    std::vector<std::uint8_t> buffer(64, 0xEE);

    const auto placed = connection_->GetInputReport(0, requested, buffer);

    ASSERT_EQ(placed, 40u) << connection_->LastError();
    ASSERT_EQ(system_->gets.size(), 1u);
    EXPECT_EQ(system_->gets[0].ioctlLength, requested + 1);
    EXPECT_EQ(system_->gets[0].wLength, requested);
    EXPECT_GE(system_->gets[0].bufferCapacity, requested + 1);
    // The device's first byte lands in buffer[0]; beyond the reply the buffer is untouched.
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 40), system_->reply);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 40, buffer.end()),
              std::vector<std::uint8_t>(24, 0xEE));
}

TEST_F(HidrawInputReportTest, EmptyReplyPlacesNothingForEitherKindOfReportId) {
    for (const std::uint8_t reportId : {0, 4}) {
        system_->reply.clear();
        std::vector<std::uint8_t> buffer(8, 0xEE);
        const auto placed = connection_->GetInputReport(reportId, 8, buffer);
        ASSERT_TRUE(placed.has_value()) << connection_->LastError();
        EXPECT_EQ(*placed, 0u) << "report ID " << int(reportId);
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(8, 0xEE));
    }
}

TEST_F(HidrawInputReportTest, BufferGrowsForLongerRequestsOnlyAndIsThenReused) {
    system_->reply = Pattern(0xB41, 1);
    std::vector<std::uint8_t> buffer(64);
    ASSERT_TRUE(connection_->GetInputReport(2, 64, buffer));
    ASSERT_TRUE(connection_->GetInputReport(0, 0xB40, buffer));  // grows to 0xB41 bytes
    for (const auto& get : system_->gets) {
        EXPECT_GE(get.bufferCapacity, get.ioctlLength);
    }

    system_->recording = false;
    const std::size_t before = AllocationCount();
    for (const std::uint32_t requested : {64u, 0x240u, 0xB40u, 0x3u}) {
        ASSERT_TRUE(connection_->GetInputReport(2, requested, buffer));
    }
    EXPECT_EQ(AllocationCount() - before, 0u);
}

TEST_F(HidrawInputReportTest, LengthsBeyondTheIoctlSizeFieldAreRefusedUnsent) {
    std::vector<std::uint8_t> buffer(64);
    // The size field holds 16383 at most; report ID 0 needs one byte of it.
    EXPECT_FALSE(connection_->GetInputReport(2, 16384, buffer));
    EXPECT_NE(connection_->LastError().find("16383"), std::string::npos);
    EXPECT_FALSE(connection_->GetInputReport(0, 16383, buffer));
    EXPECT_FALSE(connection_->GetInputReport(2, 1, buffer));  // hidraw wants 2 bytes at least
    EXPECT_EQ(system_->reportIoctls, 0);

    system_->reply = Pattern(4, 1);
    EXPECT_TRUE(connection_->GetInputReport(0, 16382, buffer)) << connection_->LastError();
    EXPECT_TRUE(connection_->GetInputReport(2, 16383, buffer)) << connection_->LastError();
}

TEST_F(HidrawInputReportTest, StallAndUnplugFailWithTheirCauseAndADebugLine) {
    const struct {
        int error;
        const char* cause;
    } cases[] = {{EPIPE, "stalled"},
                 {ENODEV, "gone"},
                 {ESHUTDOWN, "gone"},
                 {EIO, "gone"},
                 {ETIMEDOUT, "did not answer"}};
    for (const auto& c : cases) {
        CapturedDebugOutput debug;
        system_->reportErrnos = {c.error};
        std::vector<std::uint8_t> buffer(8);
        EXPECT_FALSE(connection_->GetInputReport(2, 0x240, buffer));
        const std::string error = connection_->LastError();
        EXPECT_NE(error.find("HIDIOCGINPUT"), std::string::npos) << error;
        EXPECT_NE(error.find(kPath), std::string::npos) << error;
        EXPECT_NE(error.find(std::strerror(c.error)), std::string::npos) << error;
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        EXPECT_EQ(debug.LinesContaining(error), 1u) << error;
    }
}

TEST_F(HidrawInputReportTest, InterruptedCallsAreRetriedAndSuccessClearsTheError) {
    std::vector<std::uint8_t> buffer(8);
    system_->reportErrnos = {EPIPE};
    ASSERT_FALSE(connection_->GetInputReport(2, 8, buffer));

    system_->reply = Pattern(8, 0x30);
    system_->reportErrnos = {EINTR, EINTR};
    EXPECT_EQ(connection_->GetInputReport(2, 8, buffer), 8u);
    EXPECT_EQ(system_->reportIoctls, 4);
    EXPECT_EQ(buffer, system_->reply);
    EXPECT_EQ(connection_->LastError(), "");
}

using HidrawOutputReportTest = HidrawConnectionTest;

TEST_F(HidrawOutputReportTest, EveryByteOfTheReportReachesTheWireWhateverTheReportId) {
    for (const std::uint8_t reportId : {0, 5}) {
        auto report = Pattern(64, 0x40);
        report[0] = reportId;
        report[1] = 10;
        report[2] = 0;

        ASSERT_TRUE(connection_->SendOutputReport(report)) << connection_->LastError();
        ASSERT_FALSE(system_->outputs.empty());
        const auto& seen = system_->outputs.back();
        EXPECT_EQ(seen.wire, report) << "report ID " << int(reportId);
        EXPECT_EQ(seen.ioctlLength, reportId == 0 ? 65u : 64u);
        EXPECT_GE(seen.bufferCapacity, seen.ioctlLength);
    }
}

TEST_F(HidrawOutputReportTest, RepeatedSendsReuseTheirBuffer) {
    const auto report = Pattern(64, 1);
    ASSERT_TRUE(connection_->SendOutputReport(report));
    system_->recording = false;
    const std::size_t before = AllocationCount();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(connection_->SendOutputReport(std::span(report).first(64 - i)));
    }
    EXPECT_EQ(AllocationCount() - before, 0u);
}

TEST_F(HidrawOutputReportTest, MalformedOrOversizedReportsAreRefusedUnsent) {
    EXPECT_FALSE(connection_->SendOutputReport({}));
    EXPECT_NE(connection_->LastError().find("report ID"), std::string::npos);
    EXPECT_FALSE(connection_->SendOutputReport(Pattern(16384, 1)));
    auto idZero = Pattern(16383, 1);
    idZero[0] = 0;
    EXPECT_FALSE(connection_->SendOutputReport(idZero));
    EXPECT_NE(connection_->LastError().find("16383"), std::string::npos);
    EXPECT_EQ(system_->reportIoctls, 0);
}

TEST_F(HidrawOutputReportTest, UnplugFailsAndInterruptedCallsAreRetried) {
    const auto report = Pattern(16, 3);
    system_->reportErrnos = {ENODEV};
    EXPECT_FALSE(connection_->SendOutputReport(report));
    EXPECT_NE(connection_->LastError().find("HIDIOCSOUTPUT"), std::string::npos);
    EXPECT_NE(connection_->LastError().find("gone"), std::string::npos);

    system_->reportErrnos = {EINTR};
    EXPECT_TRUE(connection_->SendOutputReport(report)) << connection_->LastError();
    ASSERT_EQ(system_->outputs.size(), 1u);
    EXPECT_EQ(system_->outputs[0].wire, report);
}

TEST(HidrawInterruptOutTest, WarnsOncePerConnectionWhenOutputReportsBypassTheControlPipe) {
    const struct {
        std::optional<UsbInterfaceInfo> usb;
        std::size_t warnings;
    } cases[] = {{UsbInterfaceInfo{0x1209, 1, 0x100, 1}, 1},
                 {UsbInterfaceInfo{0x1209, 1, 0x100, 0}, 0},
                 {std::nullopt, 0}};
    for (const auto& c : cases) {
        auto system = std::make_shared<FakeHidrawSystem>();
        system->nodes[kPath].usb = c.usb;
        HidrawPlatform platform(system, "rules");
        CapturedDebugOutput debug;
        for (int round = 0; round < 2; ++round) {
            std::string error;
            auto connection = platform.Open(kPath, HidOpenOptions{}, error);
            ASSERT_NE(connection, nullptr) << error;
            std::vector<std::uint8_t> buffer(8);
            ASSERT_TRUE(connection->GetInputReport(1, 8, buffer));
            EXPECT_EQ(debug.LinesContaining("interrupt OUT"), round * c.warnings);
            const auto report = Pattern(8, 1);
            ASSERT_TRUE(connection->SendOutputReport(report));
            ASSERT_TRUE(connection->SendOutputReport(report));
            EXPECT_EQ(debug.LinesContaining("interrupt OUT"), (round + 1) * c.warnings);
        }
    }
}

}  // namespace
}  // namespace brimlo::hid::testing
