// The toolkit-free character rules of the edit controls: the allowed and denied character lists
// of the extended edit and the number rules of the numeric edit, with the texts of their
// refusals. The controls run every inserted character through them, whether it was typed,
// pasted, dropped or committed by an input method.
//
// Characters are Unicode code points; texts are UTF-16. No state; any thread.
#pragma once

#include <string>
#include <string_view>

// The verdict on one character. A refused character with an empty message is refused silently.
struct CharVerdict {
    bool valid = true;
    std::u16string message;
};

// Appends the code point as UTF-16 (a surrogate pair above U+FFFF).
void AppendCodePoint(std::u16string& out, char32_t ch);

// "Invalid character '<ch>'".
std::u16string InvalidCharacterMessage(char32_t ch);

// The list rules, for a character the control's own check found valid: control characters
// (below 32) and 127 pass; with an allowed list, a character outside it is refused with the
// not-allowed message (default "Invalid character '<ch>'"); a character of the denied list is
// refused with the denied message (same default).
struct CharLists {
    std::u16string allowed;
    std::u16string notAllowedMessage;
    std::u16string denied;
    std::u16string deniedMessage;
};
CharVerdict CheckCharLists(const CharLists& lists, char32_t ch);

// The numeric edit's rule for inserting `ch` at `position` of `text` (the text as it stands
// without the replaced selection):
// - U+3002 (ideographic full stop): refused silently;
// - '.': refused with "Invalid character '.'" for integer types or when the text holds a point;
// - '-': refused with "Invalid character '-'" for unsigned types or when the text holds a minus
//   sign, with "'-' can only the first character" when not inserted at position 0;
// - space, punctuation (32..47), letters, symbols and non-ASCII: "Invalid character '<ch>'",
//   unless hexadecimal digits are allowed and `ch` is one;
// - digits and control characters pass.
CharVerdict CheckDigitalChar(int type, bool hexAllowed, std::u16string_view text, size_t position,
                             char32_t ch);
