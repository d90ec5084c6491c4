// The register, GPIO, IIC and HDMI commands, and how the firmware tells one request from
// another: by report ID, report length, length byte and the code in the requested length.

#include <gtest/gtest.h>

#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::Le32;
using testing::ReadLe32;

class CommandTest : public ::testing::Test {
  protected:
    static SimConfig Config() {
        SimConfig config;
        config.reportIds = {0x21, 0x05, 0x7F};  // nothing may assume IDs 1, 2, 3
        config.gpioInputLevels = {1, 0, 1, 0};
        return config;
    }

    testing::Wire wire_{testing::MakeDevice(Config())};
};

TEST_F(CommandTest, RegistersKeepWhatIsWrittenAndTheVersionIsReadOnly) {
    // The bytes of a register write of 0xF6000000 to 0x03FF0000, exactly as sent.
    Bytes report{0x05, 0x0A, 0x00, 0x00, 0x00, 0xFF, 0x03, 0x00, 0x00, 0x00, 0xF6};
    report.resize(64);
    ASSERT_TRUE(wire_.Send(report)) << wire_.Connection().LastError();
    EXPECT_EQ(wire_.ReadRegister(0x03FF0000), 0xF6000000u);
    EXPECT_EQ(wire_.ReadRegister(0x03FF0004), 0u) << "never written";

    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(wire_.WriteRegister(0x54 + 4 * i, 0xFF)) << "the chip takes the write...";
        EXPECT_EQ(wire_.ReadRegister(0x54 + 4 * i), wire_.Config().firmwareVersion[i])
            << "...and ignores it";
    }
}

TEST_F(CommandTest, IicDeviceStoresBytesAfterTheSubAddressAndOthersAnswerAnError) {
    EXPECT_EQ(wire_.IicWrite(0x90, {0x10, 0xAB, 0xCD}), kIicAck);
    EXPECT_EQ(wire_.IicRead(0x90, {0x10}, 2), (Bytes{kIicAck, 0xAB, 0xCD}));
    EXPECT_EQ(wire_.IicRead(0x90, {}, 1), (Bytes{kIicAck, 0x00}))
        << "a read without a sub-address continues where the last one stopped";

    const auto write = wire_.IicWrite(0xA0, {0x00, 0x11});
    ASSERT_TRUE(write);
    EXPECT_NE(*write, kIicAck) << "no device at 0xA0";
    const auto read = wire_.IicRead(0xA0, {0x00}, 1);
    ASSERT_TRUE(read);
    EXPECT_NE(read->at(0), kIicAck);
}

TEST_F(CommandTest, GpioLinesFollowDirectionLatchAndOutsideLevel) {
    for (std::uint8_t line = 0; line < 4; ++line) {
        EXPECT_EQ(wire_.GpioRead(line), wire_.Config().gpioInputLevels[line]) << "inputs at start";
    }
    ASSERT_TRUE(wire_.GpioSet(2, 1));
    ASSERT_TRUE(wire_.GpioWrite(2, 0));
    EXPECT_EQ(wire_.GpioRead(2), 0);
    EXPECT_EQ(wire_.GpioRead(3), 0) << "other lines untouched";

    ASSERT_TRUE(wire_.GpioWrite(1, 1));
    EXPECT_EQ(wire_.GpioRead(1), 0) << "an input reads the outside level, not its latch";
    ASSERT_TRUE(wire_.GpioSet(1, 1));
    EXPECT_EQ(wire_.GpioRead(1), 1) << "the latch shows once the line drives";
}

TEST_F(CommandTest, TheCodeInTheRequestedLengthChoosesTheAnswer) {
    ASSERT_TRUE(wire_.WriteRegister(0x40, 0xA5A5A5A5));
    ASSERT_TRUE(wire_.Send(wire_.Command(kCommandChannel, 6, 1, Le32(0x40))));
    ASSERT_TRUE(wire_.GpioSet(0, 1));
    ASSERT_TRUE(wire_.GpioWrite(0, 1));
    ASSERT_TRUE(wire_.Send(wire_.Command(kCommandChannel, 3, 10, {0})));

    // The same report ID read three ways; only the requested length differs (64 | code << 8).
    EXPECT_EQ(ReadLe32(wire_.Read(kCommandChannel, 0x240).value()), 0xA5A5A5A5u);
    EXPECT_EQ(wire_.Read(kCommandChannel, 0x440).value().at(0), wire_.Config().chipRow);
    EXPECT_EQ(wire_.Read(kCommandChannel, 0xA40).value().at(0), 1);
    const auto hdmi = wire_.Read(kIicChannel, 0xB40);
    ASSERT_TRUE(hdmi);
    EXPECT_EQ(Bytes(hdmi->begin(), hdmi->begin() + 24),
              Bytes(wire_.Config().hdmiInfo.begin(), wire_.Config().hdmiInfo.end()));
    EXPECT_EQ(Bytes(hdmi->begin() + 24, hdmi->end()), Bytes(40, 0));

    EXPECT_FALSE(wire_.Read(kCommandChannel, 0xC40)) << "no command 12";
    EXPECT_FALSE(wire_.Read(kCommandChannel, 0xB40)) << "HDMI information is on the IIC channel";
    EXPECT_FALSE(wire_.Read(kIicChannel, 0x240)) << "register reads are on the command channel";
    EXPECT_FALSE(wire_.Read(kCommandChannel, 0x23F)) << "the low byte must be the report's length";
    EXPECT_FALSE(wire_.Read(kCommandChannel, 0x10240)) << "nothing above the second byte";
    EXPECT_FALSE(wire_.Read(kFlashChannel, 4100 | 0x0200)) << "flash data reads carry no code";
    std::vector<std::uint8_t> buffer(64);
    EXPECT_FALSE(wire_.Connection().GetInputReport(0x22, 0x240, buffer)) << "unknown report ID";

    // The reply is cut to the caller's buffer.
    buffer.resize(3);
    ASSERT_TRUE(wire_.Send(wire_.Command(kCommandChannel, 6, 1, Le32(0x40))));
    ASSERT_EQ(wire_.Connection().GetInputReport(0x05, 0x240, buffer), 3u);
    EXPECT_EQ(buffer, (Bytes{0xA5, 0xA5, 0xA5}));
}

TEST_F(CommandTest, RequestsTheFirmwareCannotCarryOutFailAndChangeNothing) {
    ASSERT_TRUE(wire_.WriteRegister(0x20, 1));
    const Bytes write = Concat(Le32(0x20), Le32(2));
    Bytes wrongId = wire_.Command(kCommandChannel, 10, 0, write);
    wrongId[0] = 0x22;
    Bytes shortReport = wire_.Command(kCommandChannel, 10, 0, write);
    shortReport.resize(63);
    const struct {
        Bytes report;
        const char* why;
    } refused[] = {
        {wire_.Command(kCommandChannel, 9, 0, write), "length byte 9 for a register write"},
        {shortReport, "a report shorter than the channel's"},
        {wire_.Command(kIicChannel, 10, 0, write), "register writes are on the command channel"},
        {wire_.Command(kCommandChannel, 2, 12, {}), "no command 12"},
        {{}, "an empty report"},
        {wire_.Command(kIicChannel, 4, 6, {0x90, 2, 0x0F, 0x00}), "IIC length byte without data"},
        {wire_.Command(kIicChannel, 6, 7, {0x90, 1, 0x00, 64}), "IIC answer beyond the report"},
        {wire_.Command(kCommandChannel, 4, 8, {4, 1}), "there are four GPIO lines"},
        {wire_.Command(kCommandChannel, 3, 10, {7}), "no GPIO line 7 to read"},
        {wire_.Command(kCommandChannel, 4, 8, {0, 2}), "GPIO direction is 0 or 1"},
        {wrongId, "report ID 34"},  // last, for its error text below
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(wire_.Send(r.report)) << r.why;
    }
    EXPECT_NE(wire_.Connection().LastError().find("report ID 34"), std::string::npos)
        << wire_.Connection().LastError();
    EXPECT_TRUE(wire_.Send(wire_.Command(kIicChannel, 6, 7, {0x90, 1, 0x00, 63})))
        << "an answer that just fits";
    EXPECT_EQ(wire_.ReadRegister(0x20), 1u);
    EXPECT_EQ(wire_.GpioRead(0), 1);
}

}  // namespace
}  // namespace brimlo::sim
