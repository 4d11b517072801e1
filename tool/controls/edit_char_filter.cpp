#include "controls/edit_char_filter.h"

#include "controls/digital_value.h"
#include "core/hex_text.h"
#include "core/text_format.h"

namespace {

constexpr char32_t kIdeographicFullStop = 0x3002;
constexpr char32_t kFirstPrintable = 32;
constexpr char32_t kDelete = 127;

std::u16string CodePointText(char32_t ch) {
    std::u16string out;
    AppendCodePoint(out, ch);
    return out;
}

bool ListHolds(const std::u16string& list, char32_t ch) {
    return list.find(CodePointText(ch)) != std::u16string::npos;
}

CharVerdict Refused(std::u16string message) {
    return CharVerdict{false, std::move(message)};
}

}  // namespace

void AppendCodePoint(std::u16string& out, char32_t ch) {
    if (ch >= 0x10000) {
        char32_t v = ch - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(ch));
    }
}

std::u16string InvalidCharacterMessage(char32_t ch) {
    std::u16string out;
    std::u16string text = CodePointText(ch);
    FormatText(out, u"Invalid character '%s'", text.c_str());
    return out;
}

CharVerdict CheckCharLists(const CharLists& lists, char32_t ch) {
    if (ch < kFirstPrintable || ch == kDelete) return {};
    if (!lists.allowed.empty() && !ListHolds(lists.allowed, ch)) {
        return Refused(lists.notAllowedMessage.empty() ? InvalidCharacterMessage(ch)
                                                       : lists.notAllowedMessage);
    }
    if (!lists.denied.empty() && ListHolds(lists.denied, ch)) {
        return Refused(lists.deniedMessage.empty() ? InvalidCharacterMessage(ch)
                                                   : lists.deniedMessage);
    }
    return {};
}

CharVerdict CheckDigitalChar(int type, bool hexAllowed, std::u16string_view text, size_t position,
                             char32_t ch) {
    if (ch == kIdeographicFullStop) return Refused({});
    if (ch == U'.') {
        bool floating = type == Float || type == Double;
        if (!floating || text.find(u'.') != std::u16string_view::npos)
            return Refused(InvalidCharacterMessage(ch));
        return {};
    }
    if (ch == U'-') {
        if (type == UInt32 || type == UInt64 || text.find(u'-') != std::u16string_view::npos)
            return Refused(InvalidCharacterMessage(ch));
        if (position != 0) return Refused(u"'-' can only the first character");
        return {};
    }
    bool digit = ch >= U'0' && ch <= U'9';
    if (ch >= kFirstPrintable && !digit) {
        if (hexAllowed && ch < 0x10000 && IsHexCharW(static_cast<char16_t>(ch))) return {};
        return Refused(InvalidCharacterMessage(ch));
    }
    return {};
}
