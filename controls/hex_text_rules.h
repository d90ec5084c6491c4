#pragma once
// The editing rules of the hexadecimal entry field, as pure functions of its UTF-16 text and
// selection, free of any toolkit: the Qt widget and the Win32 edit control only map their
// events onto them.

#include <optional>
#include <string>
#include <string_view>

namespace brimlo::controls {

// A selection as start <= end; with nothing selected both are the caret position.
struct TextSelection {
    int start = 0;
    int end = 0;
};

// The text carries the "0x" prefix when its second character is an x of either case.
bool HasPrefix(std::u16string_view text);

// Exactly the prefix's leading "0" is selected: cutting or deleting it alone would leave a
// dangling "x" that reads as no number at all.
bool SelectsPrefixZeroOnly(std::u16string_view text, TextSelection selection);

// A forward delete from position 0 would take the prefix's "0" alone.
bool BlocksForwardDelete(std::u16string_view text, TextSelection selection);

// Decides a typed character: nothing when it is swallowed, otherwise the character to insert
// (hex letters upper-cased, the prefix's x lower-cased). Control characters pass unchanged.
std::optional<char16_t> FilterTypedCharacter(std::u16string_view text, TextSelection selection,
                                             char16_t ch);

// Whether `clip` may be pasted over `selection` without breaking the prefix or bringing in
// anything but hexadecimal digits. An empty clip passes.
bool IsPasteAllowed(std::u16string_view text, TextSelection selection, std::u16string_view clip);

// Upper-cases every letter except x, which becomes lower-case: "0X1a" gives "0x1A".
std::u16string NormalizeHexText(std::u16string text);

// How many characters may still come in over `selection` under a limit of `limit`.
int RoomLeft(std::u16string_view text, TextSelection selection, int limit);

}  // namespace brimlo::controls
