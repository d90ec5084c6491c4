// The register, GPIO, IIC and HDMI commands, and how the firmware tells one request from
// another: by report ID, report length, length byte and the code in the requested length.

#include <gtest/gtest.h>

#include "sim_wire.h"

namespace brimlo::sim {
namespace {

using testing::Le32;
using testing::ReadLe32;
using testing::Wire;

constexpr std::size_t kCommand = 1;
constexpr std::size_t kIic = 2;

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CommandTest : public ::testing::Test {
  protected:
    bool WriteRegister(std::uint32_t address, std::uint32_t value) {
        return wire_.Send(wire_.Command(kCommand, 10, 0, Concat(Le32(address), Le32(value))));
    }

    std::optional<std::uint32_t> ReadRegister(std::uint32_t address) {
        if (!wire_.Send(wire_.Command(kCommand, 6, 1, Le32(address)))) {
            return std::nullopt;
        }
        const auto reply = wire_.ReadCode(kCommand, 2);
        return reply ? std::optional(ReadLe32(*reply)) : std::nullopt;
    }

    // Return code, then the bytes read.
    std::optional<std::vector<std::uint8_t>> IicRead(std::uint8_t address,
                                                     std::vector<std::uint8_t> written,
                                                     std::uint8_t count) {
        const auto n = static_cast<std::uint8_t>(written.size());
        std::vector<std::uint8_t> payload{address, n};
        payload.insert(payload.end(), written.begin(), written.end());
        payload.push_back(count);
        if (!wire_.Send(wire_.Command(kIic, static_cast<std::uint8_t>(5 + n), 7, payload))) {
            return std::nullopt;
        }
        auto reply = wire_.ReadCode(kIic, 7);
        if (reply) {
            reply->resize(count + 1u);
        }
        return reply;
    }

    std::optional<std::uint8_t> IicWrite(std::uint8_t address, std::vector<std::uint8_t> data) {
        const auto n = static_cast<std::uint8_t>(data.size());
        std::vector<std::uint8_t> payload{address, n};
        payload.insert(payload.end(), data.begin(), data.end());
        if (!wire_.Send(wire_.Command(kIic, static_cast<std::uint8_t>(4 + n), 6, payload))) {
            return std::nullopt;
        }
        const auto reply = wire_.ReadCode(kIic, 6);
        return reply ? std::optional((*reply)[0]) : std::nullopt;
    }

    bool GpioSet(std::uint8_t line, std::uint8_t output) {
        return wire_.Send(wire_.Command(kCommand, 4, 8, {line, output}));
    }
    bool GpioWrite(std::uint8_t line, std::uint8_t value) {
        return wire_.Send(wire_.Command(kCommand, 4, 9, {line, value}));
    }
    std::optional<std::uint8_t> GpioRead(std::uint8_t line) {
        if (!wire_.Send(wire_.Command(kCommand, 3, 10, {line}))) {
            return std::nullopt;
        }
        const auto reply = wire_.ReadCode(kCommand, 10);
        return reply ? std::optional((*reply)[0]) : std::nullopt;
    }

    static SimConfig Config() {
        SimConfig config;
        config.reportIds = {0x21, 0x05, 0x7F};  // nothing may assume IDs 1, 2, 3
        config.gpioInputLevels = {1, 0, 1, 0};
        return config;
    }

    Wire wire_{testing::MakeDevice(Config())};
};

TEST_F(CommandTest, RegistersKeepWhatIsWrittenAndTheVersionIsReadOnly) {
    // The bytes of a register write of 0xF6000000 to 0x03FF0000, exactly as sent.
    std::vector<std::uint8_t> report(64, 0);
    const std::vector<std::uint8_t> head{0x05, 0x0A, 0x00, 0x00, 0x00, 0xFF,
                                         0x03, 0x00, 0x00, 0x00, 0xF6};
    std::copy(head.begin(), head.end(), report.begin());
    ASSERT_TRUE(wire_.Send(report)) << wire_.Connection().LastError();
    EXPECT_EQ(ReadRegister(0x03FF0000), 0xF6000000u);
    EXPECT_EQ(ReadRegister(0x03FF0004), 0u) << "never written";

    ASSERT_TRUE(WriteRegister(0x10, 0x12345678));
    ASSERT_TRUE(WriteRegister(0x10, 0x9ABCDEF0));
    EXPECT_EQ(ReadRegister(0x10), 0x9ABCDEF0u);

    const std::array<std::uint32_t, 4> version{0x54, 0x58, 0x5C, 0x60};
    for (std::size_t i = 0; i < version.size(); ++i) {
        EXPECT_EQ(ReadRegister(version[i]), wire_.Config().firmwareVersion[i]);
    }
    EXPECT_TRUE(WriteRegister(0x58, 0xFF)) << "the chip takes the write...";
    EXPECT_EQ(ReadRegister(0x58), wire_.Config().firmwareVersion[1]) << "...and ignores it";
}

TEST_F(CommandTest, IicDeviceStoresBytesAfterTheSubAddress) {
    EXPECT_EQ(IicWrite(0x90, {0x10, 0xAB, 0xCD}), kIicAck);
    EXPECT_EQ(IicRead(0x90, {0x10}, 1), (std::vector<std::uint8_t>{kIicAck, 0xAB}));
    EXPECT_EQ(IicRead(0x90, {0x10}, 2), (std::vector<std::uint8_t>{kIicAck, 0xAB, 0xCD}));
    EXPECT_EQ(IicRead(0x90, {}, 1), (std::vector<std::uint8_t>{kIicAck, 0x00}))
        << "a read without a sub-address continues where the last one stopped";
    // The panel's write: two bytes, sub-address 0x0F and value 0x00.
    EXPECT_EQ(IicWrite(0x90, {0x0F, 0x00}), kIicAck);
    EXPECT_EQ(IicRead(0x90, {0x0F}, 1), (std::vector<std::uint8_t>{kIicAck, 0x00}));
}

TEST_F(CommandTest, IicAddressWithoutADeviceAnswersAnError) {
    const auto write = IicWrite(0xA0, {0x00, 0x11});
    ASSERT_TRUE(write);
    EXPECT_NE(*write, kIicAck);
    const auto read = IicRead(0xA0, {0x00}, 1);
    ASSERT_TRUE(read);
    EXPECT_NE((*read)[0], kIicAck);
    EXPECT_EQ(IicRead(0x90, {0x00}, 1)->at(0), kIicAck) << "the bus still works";
}

TEST_F(CommandTest, IicRequestsThatDoNotFitAreRefused) {
    const std::size_t inputLength = wire_.Config().inputReportLengths[kIic];
    EXPECT_TRUE(IicRead(0x90, {0x00}, static_cast<std::uint8_t>(inputLength - 1)));
    EXPECT_FALSE(IicRead(0x90, {0x00}, static_cast<std::uint8_t>(inputLength)))
        << "the answer would not fit the input report";
    // A length byte that does not count the data bytes.
    EXPECT_FALSE(wire_.Send(wire_.Command(kIic, 4, 6, {0x90, 2, 0x0F, 0x00})));
}

TEST_F(CommandTest, GpioLinesFollowDirectionLatchAndOutsideLevel) {
    for (std::uint8_t line = 0; line < 4; ++line) {
        EXPECT_EQ(GpioRead(line), wire_.Config().gpioInputLevels[line]) << "inputs at start";
    }
    ASSERT_TRUE(GpioSet(2, 1));
    ASSERT_TRUE(GpioWrite(2, 0));
    EXPECT_EQ(GpioRead(2), 0);
    ASSERT_TRUE(GpioWrite(2, 1));
    EXPECT_EQ(GpioRead(2), 1);
    EXPECT_EQ(GpioRead(3), 0) << "other lines untouched";

    ASSERT_TRUE(GpioWrite(1, 1));
    EXPECT_EQ(GpioRead(1), 0) << "an input reads the outside level, not its latch";
    ASSERT_TRUE(GpioSet(1, 1));
    EXPECT_EQ(GpioRead(1), 1) << "the latch shows once the line drives";

    EXPECT_FALSE(GpioSet(4, 1)) << "there are four lines";
    EXPECT_FALSE(GpioRead(7));
    EXPECT_FALSE(GpioSet(0, 2)) << "direction is 0 or 1";
}

TEST_F(CommandTest, HdmiInformationIsASingleRead) {
    const auto reply = wire_.ReadCode(kIic, 11);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(
        std::equal(wire_.Config().hdmiInfo.begin(), wire_.Config().hdmiInfo.end(), reply->begin()));
    EXPECT_TRUE(std::all_of(reply->begin() + 24, reply->end(), [](auto b) { return b == 0; }));
}

TEST_F(CommandTest, TheCodeInTheRequestedLengthChoosesTheAnswer) {
    ASSERT_TRUE(WriteRegister(0x40, 0xA5A5A5A5));
    ASSERT_TRUE(wire_.Send(wire_.Command(kCommand, 6, 1, Le32(0x40))));
    ASSERT_TRUE(GpioSet(0, 1));
    ASSERT_TRUE(GpioWrite(0, 1));
    ASSERT_TRUE(wire_.Send(wire_.Command(kCommand, 3, 10, {0})));

    // The same report ID read three ways; only the requested length differs (64 | code << 8).
    EXPECT_EQ(ReadLe32(*wire_.Read(kCommand, 0x240)), 0xA5A5A5A5u);
    EXPECT_EQ(wire_.Read(kCommand, 0x440)->at(0), wire_.Config().chipRow);
    EXPECT_EQ(wire_.Read(kCommand, 0xA40)->at(0), 1);

    EXPECT_FALSE(wire_.Read(kCommand, 0xC40)) << "no command 12";
    EXPECT_FALSE(wire_.Read(kCommand, 0xB40)) << "HDMI information is on the IIC channel";
    EXPECT_FALSE(wire_.Read(kIic, 0x240)) << "register reads are on the command channel";
    EXPECT_FALSE(wire_.Read(kCommand, 0x23F)) << "the low byte must be the report's length";
    EXPECT_FALSE(wire_.Read(kCommand, 0x10240)) << "nothing above the second byte";
    EXPECT_FALSE(wire_.Read(0, 4100 | 0x0200)) << "flash data reads carry no code";
}

TEST_F(CommandTest, RequestsTheFirmwareDoesNotKnowFailAndChangeNothing) {
    ASSERT_TRUE(WriteRegister(0x20, 1));
    std::vector<std::uint8_t> wrongLength =
        wire_.Command(kCommand, 9, 0, Concat(Le32(0x20), Le32(2)));
    EXPECT_FALSE(wire_.Send(wrongLength)) << "length byte 9 for a register write";
    std::vector<std::uint8_t> wrongId = wire_.Command(kCommand, 10, 0, Concat(Le32(0x20), Le32(3)));
    wrongId[0] = 0x22;
    EXPECT_FALSE(wire_.Send(wrongId));
    EXPECT_NE(wire_.Connection().LastError().find("report ID 34"), std::string::npos)
        << wire_.Connection().LastError();
    std::vector<std::uint8_t> shortReport =
        wire_.Command(kCommand, 10, 0, Concat(Le32(0x20), Le32(4)));
    shortReport.resize(63);
    EXPECT_FALSE(wire_.Send(shortReport)) << "a report shorter than the channel's";
    EXPECT_FALSE(wire_.Send(wire_.Command(kIic, 10, 0, Concat(Le32(0x20), Le32(5)))))
        << "register writes are on the command channel";
    EXPECT_FALSE(wire_.Send(wire_.Command(kCommand, 2, 12, {}))) << "no command 12";
    EXPECT_FALSE(wire_.Send({})) << "an empty report";
    std::vector<std::uint8_t> buffer(64);
    EXPECT_FALSE(wire_.Connection().GetInputReport(0x22, 0x240, buffer));
    EXPECT_EQ(ReadRegister(0x20), 1u);
}

TEST_F(CommandTest, TheReplyIsCutToTheCallersBuffer) {
    ASSERT_TRUE(WriteRegister(0x30, 0x11223344));
    ASSERT_TRUE(wire_.Send(wire_.Command(kCommand, 6, 1, Le32(0x30))));
    std::vector<std::uint8_t> buffer(3, 0xEE);
    const auto placed = wire_.Connection().GetInputReport(wire_.Id(kCommand), 0x240, buffer);
    ASSERT_EQ(placed, 3u);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x44, 0x33, 0x22}));
}

}  // namespace
}  // namespace brimlo::sim
