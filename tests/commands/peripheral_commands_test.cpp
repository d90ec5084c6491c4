#include <gtest/gtest.h>

#include "capture_debug.h"
#include "commands/firmware_version.h"
#include "commands/uvc_hid_device.h"
#include "fake_hid_platform.h"

namespace brimlo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using hid::testing::FakeHidPlatform;
using hid::testing::VendorDescriptor;

class PeripheralTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.interfaces = {
            {"dev", 0x1209, 0x0001, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})}};
        ASSERT_EQ(device.Open(0x1209, 0x0001).status, OpenStatus::Opened);
    }

    // Bytes 1.. of the last output report, as far as `n` bytes; the rest must be zero.
    Bytes SentHead(std::size_t n) {
        if (platform.log.sent.empty() || platform.log.sent.back().size() <= n) {
            ADD_FAILURE() << "no output report of more than " << n << " bytes was sent";
            return {};
        }
        const Bytes& sent = platform.log.sent.back();
        EXPECT_EQ(sent.size(), 64u);
        for (std::size_t i = n + 1; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i], 0) << "byte " << i;
        }
        return Bytes(sent.begin() + 1, sent.begin() + 1 + static_cast<std::ptrdiff_t>(n));
    }

    void Reply(Bytes bytes) { platform.log.replies.push_back(std::move(bytes)); }

    FakeHidPlatform platform;
    UvcHidDevice device{platform};
};

TEST_F(PeripheralTest, RegisterWriteIsOneReportWithAddressAndValueLittleEndian) {
    std::uint32_t value = 0xF6000000;
    ASSERT_TRUE(device.RegisterAccess(kRegisterWrite, 0x03FF0000, value));
    ASSERT_FALSE(platform.log.sent.empty());
    EXPECT_EQ(platform.log.sent.back()[0], 2);
    EXPECT_EQ(SentHead(10), (Bytes{0x0A, 0x00, 0x00, 0x00, 0xFF, 0x03, 0x00, 0x00, 0x00, 0xF6}));
    EXPECT_TRUE(platform.log.reads.empty());
}

TEST_F(PeripheralTest, RegisterReadSendsTheAddressThenReadsWithCode2) {
    Reply({0x00, 0x00, 0x00, 0xF6});
    std::uint32_t value = 0;
    ASSERT_TRUE(device.RegisterAccess(kRegisterRead, 0x54, value));
    EXPECT_EQ(SentHead(6), (Bytes{0x06, 0x01, 0x54, 0x00, 0x00, 0x00}));
    ASSERT_EQ(platform.log.reads.size(), 1u);
    EXPECT_EQ(platform.log.reads[0], std::make_pair(std::uint8_t{2}, std::uint32_t{0x240}));
    EXPECT_EQ(value, 0xF6000000u);
}

TEST_F(PeripheralTest, IicWriteAndReadFrameTheirDataAndHandBackTheReturnCode) {
    Reply({0x00});
    Bytes data = {0x0F, 0x00};
    ASSERT_TRUE(device.IicAccess(kIicWrite, 0x90, 2, data, 0));
    ASSERT_FALSE(platform.log.sent.empty());
    EXPECT_EQ(platform.log.sent.back()[0], 3);
    EXPECT_EQ(SentHead(6), (Bytes{0x06, 0x06, 0x90, 0x02, 0x0F, 0x00}));
    ASSERT_FALSE(platform.log.reads.empty());
    EXPECT_EQ(platform.log.reads.back().second, 0x640u);
    EXPECT_EQ(data[0], 0x00);

    Reply({0x00, 0x5A, 0x77});
    Bytes readData = {0x00, 0xEE};
    ASSERT_TRUE(device.IicAccess(kIicRead, 0x90, 1, readData, 1));
    EXPECT_EQ(SentHead(6), (Bytes{0x06, 0x07, 0x90, 0x01, 0x00, 0x01}));
    EXPECT_EQ(platform.log.reads.back().second, 0x740u);
    EXPECT_EQ(readData, (Bytes{0x00, 0x5A}));
}

TEST_F(PeripheralTest, GpioRequestsCarryNumberAndValue) {
    std::uint8_t direction = 1;
    ASSERT_TRUE(device.GpioAccess(kGpioSetDirection, 2, direction));
    EXPECT_EQ(SentHead(4), (Bytes{0x04, 0x08, 0x02, 0x01}));
    std::uint8_t one = 1;
    ASSERT_TRUE(device.GpioAccess(kGpioWrite, 0, one));
    EXPECT_EQ(SentHead(4), (Bytes{0x04, 0x09, 0x00, 0x01}));
    Reply({0x01});
    std::uint8_t level = 0;
    ASSERT_TRUE(device.GpioAccess(kGpioRead, 3, level));
    EXPECT_EQ(SentHead(3), (Bytes{0x03, 0x0A, 0x03}));
    ASSERT_FALSE(platform.log.reads.empty());
    EXPECT_EQ(platform.log.reads.back().second, 0xA40u);
    EXPECT_EQ(level, 1);
}

TEST_F(PeripheralTest, HdmiReadSendsNothingAndTakes24Bytes) {
    Bytes answer(30);
    for (std::size_t i = 0; i < answer.size(); ++i) {
        answer[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    Reply(answer);
    HdmiInfo info{};
    ASSERT_TRUE(device.ReadHdmiInfo(info));
    EXPECT_TRUE(platform.log.sent.empty());
    ASSERT_FALSE(platform.log.reads.empty());
    EXPECT_EQ(platform.log.reads.back(), std::make_pair(std::uint8_t{3}, std::uint32_t{0xB40}));
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info.front(), 0xA0);
    EXPECT_EQ(info.back(), 0xA0 + 23);
}

TEST_F(PeripheralTest, FailedFirstStepSkipsTheSecondAndKeepsTheOutParameter) {
    testing::CaptureDebug debug;
    platform.log.unplugged = true;
    std::uint32_t value = 0x12345678;
    EXPECT_FALSE(device.RegisterAccess(kRegisterRead, 0x54, value));
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_TRUE(platform.log.reads.empty());
    EXPECT_EQ(debug.lines,
              (std::vector<std::string>{
                  "Unknown error: Couldn't execute REPORT_REG_WRITE_ADDR function\n"}));
    EXPECT_NE(device.LastError().find("REPORT_REG_WRITE_ADDR"), std::string::npos);

    platform.log.unplugged = false;  // the send works, the read finds no answer
    Bytes data = {0x01, 0x02};
    EXPECT_FALSE(device.IicAccess(kIicWrite, 0x90, 2, data, 0));
    EXPECT_EQ(data, (Bytes{0x01, 0x02}));
    ASSERT_FALSE(debug.lines.empty());
    EXPECT_EQ(debug.lines.back(),
              "Unknown error: Couldn't execute REPORT_IIC_WRITE(INPUT) function\n");
}

TEST_F(PeripheralTest, AnswerShorterThanTheValueIsAFailureNotZeros) {
    Reply({0x78, 0x56});
    std::uint32_t value = 0xCAFE;
    EXPECT_FALSE(device.RegisterAccess(kRegisterRead, 0x54, value));
    EXPECT_EQ(value, 0xCAFEu);
    EXPECT_NE(device.LastError().find("2 bytes where 4 were expected"), std::string::npos);
}

TEST_F(PeripheralTest, ShorterCommandLeavesNoBytesOfALongerOneBehind) {
    Bytes data(20, 0xAB);
    Reply({0x00});
    ASSERT_TRUE(device.IicAccess(kIicWrite, 0x90, 20, data, 0));
    Reply({0x00, 0x11});
    Bytes one = {0x05, 0x00};
    ASSERT_TRUE(device.IicAccess(kIicRead, 0x90, 1, one, 1));
    EXPECT_EQ(SentHead(6), (Bytes{0x06, 0x07, 0x90, 0x01, 0x05, 0x01}));
}

TEST_F(PeripheralTest, IicRequestsThatDoNotFitAreRefusedBeforeSending) {
    Bytes big(60, 0x01);
    EXPECT_FALSE(device.IicAccess(kIicWrite, 0x90, 60, big, 0));  // 5 + 60 > 64
    EXPECT_NE(device.LastError().find("at most 59"), std::string::npos);
    EXPECT_FALSE(device.IicAccess(kIicRead, 0x90, 1, big, 63));  // 64 answer bytes > 64
    Bytes tiny(1);
    EXPECT_FALSE(device.IicAccess(kIicRead, 0x90, 1, tiny, 4));  // no room for the answer
    EXPECT_TRUE(platform.log.sent.empty());
    Bytes fits(59, 0x01);
    Reply({0x00});
    EXPECT_TRUE(device.IicAccess(kIicWrite, 0x90, 59, fits, 0));
}

TEST_F(PeripheralTest, FirmwareVersionStopsAtTheFirstFailedRead) {
    for (std::uint8_t b : {0x01, 0x00, 0x04, 0x10}) {
        Reply({b, 0xFF, 0xFF, 0xFF});
    }
    FirmwareVersion version{};
    ASSERT_TRUE(ReadFirmwareVersion(device, version));
    EXPECT_EQ(version, (FirmwareVersion{0x01, 0x00, 0x04, 0x10}));
    ASSERT_GE(platform.log.sent.size(), 3u);
    EXPECT_EQ(platform.log.sent[2][3], 0x5C);

    Reply({0x02});
    Reply({0x03});  // the third register read finds no answer
    FirmwareVersion kept = version;
    EXPECT_FALSE(ReadFirmwareVersion(device, kept));
    EXPECT_EQ(kept, version);
}

TEST(PeripheralLongReports, IicLengthByteNeverWraps) {
    FakeHidPlatform platform;
    platform.interfaces = {
        {"dev", 1, 1, VendorDescriptor({1, 2, 3}, {4100, 64, 300}, {4100, 64, 64})}};
    UvcHidDevice device(platform);
    ASSERT_EQ(device.Open(1, 1).status, OpenStatus::Opened);
    Bytes data(255, 0x11);
    EXPECT_FALSE(device.IicAccess(kIicWrite, 0x90, 252, data, 0));
    EXPECT_FALSE(device.IicAccess(kIicRead, 0x90, 251, data, 1));
    EXPECT_TRUE(platform.log.sent.empty());
    platform.log.replies.push_back({0x00});
    ASSERT_TRUE(device.IicAccess(kIicWrite, 0x90, 251, data, 0));
    ASSERT_FALSE(platform.log.sent.empty());
    EXPECT_EQ(platform.log.sent.back()[1], 0xFF);
}

TEST(PeripheralShortReports, HdmiFromReportsShorterThan24BytesIsRefused) {
    FakeHidPlatform platform;
    platform.interfaces = {
        {"dev", 1, 1, VendorDescriptor({1, 2, 3}, {4100, 64, 16}, {4100, 64, 16})}};
    UvcHidDevice device(platform);
    ASSERT_EQ(device.Open(1, 1).status, OpenStatus::Opened);
    HdmiInfo info{};
    EXPECT_FALSE(device.ReadHdmiInfo(info));
    EXPECT_TRUE(platform.log.reads.empty());
    EXPECT_NE(device.LastError().find("24"), std::string::npos);
}

}  // namespace
}  // namespace brimlo
