#include <gtest/gtest.h>

#include "commands/panel_format.h"

namespace brimlo {
namespace {

TEST(PanelFormat, FieldTextConvertsAsTheDialogReadsIt) {
    EXPECT_EQ(ParseHexField("3FF0000"), 0x3FF0000u);
    EXPECT_EQ(ParseHexField("3ff0000"), 0x3FF0000u);
    EXPECT_EQ(ParseHexField("  0x90"), 0x90u);
    EXPECT_EQ(ParseHexField("0X1f"), 0x1Fu);
    EXPECT_EQ(ParseHexField(""), 0u);
    EXPECT_EQ(ParseHexField("zz"), 0u);
    EXPECT_EQ(ParseHexField("12g4"), 0x12u);
    EXPECT_EQ(ParseHexField("0xg"), 0u);
    EXPECT_EQ(ParseHexField("F6000000"), 0xF6000000u);
    EXPECT_EQ(ParseHexField("123456789"), 0xFFFFFFFFu);  // beyond 32 bits
    // What Convert writes back after two presses: "0x" and eight digits, all of them read.
    EXPECT_EQ(ParseHexField("0xF6000000"), 0xF6000000u);
    EXPECT_EQ(ParseHexField("  0x0000000012"), 0x12u);
    EXPECT_EQ(ParseHexField("0x1FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexField(u"0xF6000000"), 0xF6000000u);  // the entry field's own text
    EXPECT_EQ(ParseHexField(u"\u0661F"), 0u);              // a non-Latin digit is no digit
}

TEST(PanelFormat, CommandLineNumbersAreStrict) {
    EXPECT_EQ(ParseHexArgument("0x90"), 0x90u);
    EXPECT_EQ(ParseHexArgument("90"), 0x90u);
    EXPECT_EQ(ParseHexArgument("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_FALSE(ParseHexArgument("100000000"));
    EXPECT_FALSE(ParseHexArgument("0x"));
    EXPECT_FALSE(ParseHexArgument("12g"));
    EXPECT_FALSE(ParseHexArgument("-1"));
    EXPECT_FALSE(ParseHexArgument("100", 0xFF));
    EXPECT_EQ(ParseHexArgument("ff", 0xFF), 0xFFu);
}

TEST(PanelFormat, AnswersAreLowerCaseWithLeadingZeros) {
    EXPECT_EQ(FormatByte(0x0A), "0a");
    EXPECT_EQ(FormatRegister(0xF6000000), "f6000000");
    const std::uint8_t version[4] = {0x01, 0x00, 0x04, 0x10};
    EXPECT_EQ(FormatFirmwareVersion(version), "01.00.04.10");
    std::uint8_t hdmi[24];
    for (int i = 0; i < 24; ++i) {
        hdmi[i] = static_cast<std::uint8_t>(i * 11);
    }
    const std::string text = FormatHexBytes(hdmi);
    ASSERT_EQ(text.size(), 71u);
    EXPECT_EQ(text.substr(0, 12), "00 0b 16 21 ");
    EXPECT_EQ(text.back(), 'd');  // 23 * 11 = 0xfd, no blank at the end
}

}  // namespace
}  // namespace brimlo
