#include <gtest/gtest.h>

#include "fake_hid_platform.h"
#include "hid/hid_enumeration.h"
#include "hid/pack_bit_array.h"
#include "hid/report_framing.h"

namespace brimlo::hid {
namespace {

using testing::FakeHidPlatform;
using testing::VendorDescriptor;

// The shape of the real device: report IDs 1..3, flash data 4100 bytes, control 64 bytes.
class FramingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform.interfaces = {
            {"dev", 0x1209, 0x0001, VendorDescriptor({1, 2, 3}, {4100, 64, 64}, {4100, 64, 64})}};
        HidMatchState match;
        match.targetVendorId = 0x1209;
        match.targetProductId = 0x0001;
        std::string error;
        ASSERT_TRUE(OpenHidInterface(platform, match, "dev", {}, record, error)) << error;
        rw.assign(64, 0);
        flash.assign(4100, 0);
    }

    std::vector<std::uint8_t>& BufferFor(const CommandDescriptor& row) {
        return row.capabilityIndex == 0 ? flash : rw;
    }

    FakeHidPlatform platform;
    HidDeviceRecord record;
    std::vector<std::uint8_t> rw;
    std::vector<std::uint8_t> flash;
};

TEST_F(FramingTest, EveryOutputRowPutsIdLengthAndCodeOnTheWire) {
    for (std::size_t row = 0; row < kCommandTable.size(); ++row) {
        const CommandDescriptor& d = kCommandTable[row];
        if (d.direction != kDirectionOutput) {
            continue;
        }
        SCOPED_TRACE(kCommandNames[row]);
        std::vector<std::uint8_t>& buffer = BufferFor(d);
        std::fill(buffer.begin(), buffer.end(), 0);
        buffer[1] = 0xA1;  // what a flash data caller leaves in bytes 1 and 2
        buffer[2] = 0xA2;
        buffer[3] = 0x5A;
        buffer.back() = 0x77;
        HidCallBlock block;
        ASSERT_TRUE(PrepareRequest(block, d, record, buffer));
        HidCallResult result;
        ASSERT_EQ(RunHidOperation(kHidOpSetOutputReport, block, result), 1u);
        EXPECT_EQ(result.failed, 0u);

        const std::vector<std::uint8_t>& sent = platform.log.sent.back();
        const std::size_t length = d.capabilityIndex == 0 ? 4100 : 64;
        ASSERT_EQ(sent.size(), length);
        EXPECT_EQ(sent[0], d.capabilityIndex + 1);
        if (d.commandCode < kFirstDataCommandCode) {
            EXPECT_EQ(sent[1], d.lengthByte);
            EXPECT_EQ(sent[2], d.commandCode);
        } else {
            EXPECT_EQ(sent[1], 0xA1);
            EXPECT_EQ(sent[2], 0xA2);
        }
        EXPECT_EQ(sent[3], 0x5A);
        EXPECT_EQ(sent.back(), 0x77);
    }
}

TEST_F(FramingTest, EveryInputRowCarriesItsCodeInTheRequestedLength) {
    for (std::size_t row = 0; row < kCommandTable.size(); ++row) {
        const CommandDescriptor& d = kCommandTable[row];
        if (d.direction != kDirectionInput) {
            continue;
        }
        SCOPED_TRACE(kCommandNames[row]);
        platform.log.replies.push_back({0xEF, 0xBE, 0xAD, 0xDE});
        HidCallBlock block;
        ASSERT_TRUE(PrepareRequest(block, d, record, BufferFor(d)));
        HidCallResult result;
        ASSERT_EQ(RunHidOperation(kHidOpGetInputReport, block, result), 1u);
        EXPECT_EQ(result.failed, 0u);
        const auto [id, requested] = platform.log.reads.back();
        EXPECT_EQ(id, d.capabilityIndex + 1);
        const std::uint32_t length = d.capabilityIndex == 0 ? 4100 : 64;
        const std::uint32_t expected =
            d.commandCode < kFirstDataCommandCode ? (length | d.commandCode << 8) : length;
        EXPECT_EQ(requested, expected);
        // The reply sits from byte 0 of the record's input buffer; the rest is cleared.
        EXPECT_EQ(block.reportBuffer.data(), record.inputReportBuffer.data());
        EXPECT_EQ(record.inputReportBuffer[0], 0xEF);
        EXPECT_EQ(record.inputReportBuffer[3], 0xDE);
        EXPECT_EQ(record.inputReportBuffer[4], 0);
    }
    EXPECT_EQ(platform.log.reads[0].second, 0x240u);      // register read
    EXPECT_EQ(platform.log.reads.back().second, 0xB40u);  // HDMI information
}

TEST_F(FramingTest, TheTableItselfIsNeverChangedByAVariableLength) {
    CommandDescriptor iic = kCommandTable[REPORT_IIC_WRITE_OUTPUT];
    iic.lengthByte += 3;
    HidCallBlock block;
    ASSERT_TRUE(PrepareRequest(block, iic, record, rw));
    EXPECT_EQ(rw[1], 7);
    EXPECT_EQ(kCommandTable[REPORT_IIC_WRITE_OUTPUT].lengthByte, 4u);
}

TEST_F(FramingTest, MissingCapabilityOrShortBufferIsRefusedBeforeAnythingIsSent) {
    HidCallBlock block;
    CommandDescriptor fourth = kCommandTable[REPORT_REG_WRITE];
    fourth.capabilityIndex = 3;
    EXPECT_FALSE(PrepareRequest(block, fourth, record, rw));
    std::vector<std::uint8_t> shortBuffer(63, 0);
    EXPECT_FALSE(PrepareRequest(block, kCommandTable[REPORT_REG_WRITE], record, shortBuffer));
    EXPECT_EQ(shortBuffer[0], 0);
    EXPECT_TRUE(platform.log.sent.empty());
}

TEST_F(FramingTest, UnpluggedDeviceFailsTheExchangeButTheOperationRuns) {
    platform.log.unplugged = true;
    HidCallBlock block;
    ASSERT_TRUE(PrepareRequest(block, kCommandTable[REPORT_REG_WRITE], record, rw));
    HidCallResult result;
    EXPECT_EQ(RunHidOperation(kHidOpSetOutputReport, block, result), 1u);
    EXPECT_EQ(result.failed, 1u);
    ASSERT_TRUE(PrepareRequest(block, kCommandTable[REPORT_REG_READ], record, rw));
    EXPECT_EQ(RunHidOperation(kHidOpGetInputReport, block, result), 1u);
    EXPECT_EQ(result.failed, 1u);
}

TEST(HidDispatcher, CodesWithoutAnOperationReturnZeroAndTouchNothing) {
    FakeHidPlatform platform;
    platform.interfaces = {{"dev", 1, 1, {}}};
    std::string error;
    auto connection = platform.Open("dev", {}, error);
    std::vector<std::uint8_t> buffer(8, 0x11);
    for (std::uint32_t code : {0u, 2u, 3u, 4u, 45u, 49u, 52u, 1u, 51u}) {
        HidCallBlock block;
        block.device = connection.get();
        block.reportBuffer = buffer;
        block.reportLength = 8;
        HidCallResult result{7, 7};
        EXPECT_EQ(RunHidOperation(code, block, result), 0u) << code;
        EXPECT_EQ(result.failed, 0u);
    }
    EXPECT_TRUE(platform.log.sent.empty());
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(8, 0x11));
}

TEST(PackBitArray, PacksLeastSignificantBitFirstAcrossBytes) {
    const std::uint32_t values[] = {1, 2, 3};
    const PackedBitArray packed = PackBitArray(values, 4, 3);
    ASSERT_TRUE(packed.ok);
    EXPECT_EQ(packed.bytes, (std::vector<std::uint8_t>{0x21, 0x03}));

    const std::uint32_t wide[] = {0x1FF, 0x0AB, 0xFFFFFFFF};
    const PackedBitArray straddled = PackBitArray(wide, 9, 2);  // the third value is dropped
    EXPECT_EQ(straddled.bytes, (std::vector<std::uint8_t>{0xFF, 0x57, 0x01}));

    const std::uint32_t full[] = {0x12345678};
    EXPECT_EQ(PackBitArray(full, 32, 1).bytes, (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));

    // A zero report count is an invalid parameter.
    const PackedBitArray none = PackBitArray(values, 8, 0);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, kErrorInvalidParameter);
    EXPECT_TRUE(none.bytes.empty());
}

}  // namespace
}  // namespace brimlo::hid
