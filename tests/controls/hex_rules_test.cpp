// The hexadecimal entry field's text rules without a toolkit, as both the Qt widget and the
// Win32 edit control apply them: typed characters, pastes, the limit, Convert and the forms.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "controls/hex_number.h"
#include "controls/hex_text_rules.h"

namespace brimlo::controls {
namespace {

TEST(HexTextRules, TypedCharactersAreFilteredAroundThePrefix) {
    struct Case {
        std::u16string text;
        TextSelection selection;
        char16_t typed;
        std::optional<char16_t> inserted;
    };
    const Case cases[] = {
        {u"", {0, 0}, u'a', u'A'},
        {u"", {0, 0}, u'g', std::nullopt},
        {u"", {0, 0}, u' ', std::nullopt},
        {u"", {0, 0}, u'-', std::nullopt},
        {u"0", {1, 1}, u'X', u'x'},
        {u"1", {1, 1}, u'x', std::nullopt},
        {u"0x1A", {1, 1}, u'5', std::nullopt},
        {u"0x1A", {0, 0}, u'5', std::nullopt},
        {u"0x1A", {2, 2}, u'f', u'F'},
        {u"0x1A", {1, 1}, 0x08, std::nullopt},
        {u"0x1A", {2, 2}, 0x08, 0x08},
        {u"0x1A", {0, 2}, u'5', u'5'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilterTypedCharacter(c.text, c.selection, c.typed), c.inserted)
            << std::string(c.text.begin(), c.text.end()) << " typed " << int(c.typed);
    }
    EXPECT_TRUE(BlocksForwardDelete(u"0x1A", {0, 1}));
    EXPECT_FALSE(BlocksForwardDelete(u"0x1A", {0, 2}));
    EXPECT_TRUE(SelectsPrefixZeroOnly(u"0x1A", {0, 1}));
}

TEST(HexTextRules, PastesKeepThePrefixAndOnlyHexDigits) {
    EXPECT_FALSE(IsPasteAllowed(u"", {0, 0}, u"12G"));
    EXPECT_TRUE(IsPasteAllowed(u"", {0, 0}, u"1a"));
    EXPECT_TRUE(IsPasteAllowed(u"", {0, 0}, u""));
    EXPECT_TRUE(IsPasteAllowed(u"0x34", {0, 2}, u"0x12"));
    EXPECT_FALSE(IsPasteAllowed(u"0x34", {0, 1}, u"0x12"));
    EXPECT_FALSE(IsPasteAllowed(u"0x34", {4, 4}, u"0x12"));
    EXPECT_TRUE(IsPasteAllowed(u"0", {1, 1}, u"x12"));
    EXPECT_FALSE(IsPasteAllowed(u"1", {1, 1}, u"x12"));
    EXPECT_EQ(NormalizeHexText(u"0X1a"), u"0x1A");
    // Eight characters allowed, two of them selected for replacement.
    EXPECT_EQ(RoomLeft(u"F6000000", {0, 2}, 8), 2);
    EXPECT_EQ(RoomLeft(u"F6000000", {8, 8}, 8), 0);
}

TEST(HexNumber, ConvertTwiceGivesTheNumberBackAndTheFormsHaveTheirWidths) {
    const std::u16string decimal = ConvertedText(u"F6000000", false);
    EXPECT_EQ(decimal, u"4127195136");
    const std::u16string back = ConvertedText(decimal, true);
    EXPECT_EQ(back, u"0xF6000000");
    EXPECT_EQ(ParseHexNumber(back), 0xF6000000u);
    EXPECT_EQ(ConvertedText(u"0x1A", false), u"26");
    EXPECT_EQ(ConvertedText(u"zz", false), u"0");
    EXPECT_EQ(ParseDecimalNumber(u"99999999999"), 0xFFFFFFFFu);
    EXPECT_EQ(FormatValue(0xF00, true, 1), u"0F00");
    EXPECT_EQ(FormatValue(0xF00, true, 2), u"00000F00");
    EXPECT_EQ(FormatValue(0x5, true, 0), u"05");
    EXPECT_EQ(FormatValue(0xF00, false, 0), u"3840");
}

}  // namespace
}  // namespace brimlo::controls
