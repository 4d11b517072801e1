#include "misc/url_html_coding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(const CBaseStringA& s) {
    return std::string(s.GetString(), s.GetLength());
}

std::u16string Units(const CBaseStringW& s) {
    return std::u16string(s.GetString(), s.GetLength());
}

bool IsKeptAsIs(int b) {
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '.' ||
           b == '/';
}

TEST(EncodeURL, EveryByteOutsideTheSafeSetEqualsPython) {
    // Every byte outside [A-Za-z0-9._~/-], in ascending order, encoded by
    //   python3 -c "import urllib.parse as u; print(u.quote_plus(bytes(b for b in range(256) if
    //   not (48<=b<=57 or 65<=b<=90 or 97<=b<=122 or chr(b) in '._~/-')), safe='/'))"
    const char* expected =
        "%00%01%02%03%04%05%06%07%08%09%0A%0B%0C%0D%0E%0F%10%11%12%13%14%15%16%17%18%19%1A%1B%1C"
        "%1D%1E%1F+%21%22%23%24%25%26%27%28%29%2A%2B%2C%3A%3B%3C%3D%3E%3F%40%5B%5C%5D%5E%60%7B"
        "%7C%7D%7F%80%81%82%83%84%85%86%87%88%89%8A%8B%8C%8D%8E%8F%90%91%92%93%94%95%96%97%98%99"
        "%9A%9B%9C%9D%9E%9F%A0%A1%A2%A3%A4%A5%A6%A7%A8%A9%AA%AB%AC%AD%AE%AF%B0%B1%B2%B3%B4%B5%B6"
        "%B7%B8%B9%BA%BB%BC%BD%BE%BF%C0%C1%C2%C3%C4%C5%C6%C7%C8%C9%CA%CB%CC%CD%CE%CF%D0%D1%D2%D3"
        "%D4%D5%D6%D7%D8%D9%DA%DB%DC%DD%DE%DF%E0%E1%E2%E3%E4%E5%E6%E7%E8%E9%EA%EB%EC%ED%EE%EF%F0"
        "%F1%F2%F3%F4%F5%F6%F7%F8%F9%FA%FB%FC%FD%FE%FF";
    std::string others;
    for (int b = 0; b < 256; ++b) {
        if (!IsKeptAsIs(b) && b != '-' && b != '_' && b != '~') others += static_cast<char>(b);
    }
    ASSERT_EQ(others.size(), 189u);
    CBaseStringA out;
    EncodeURL(others.data(), static_cast<int>(others.size()), out);
    EXPECT_EQ(Bytes(out), expected);
}

TEST(EncodeURL, LettersDigitsDotAndSlashStayAndTheOtherUnreservedAreEncoded) {
    struct Case {
        std::string text;
        const char* encoded;
    };
    const Case cases[] = {
        {"a b/c-d", "a+b/c%2Dd"},
        {"\xE4", "%E4"},
        {"AZaz09./", "AZaz09./"},
        {"-_~", "%2D%5F%7E"},  // python's quote keeps these three; encoded here
        {std::string("a\0b", 3), "a%00b"},
        {"", ""},
    };
    for (const auto& c : cases) {
        CBaseStringA out;
        EncodeURL(c.text.data(), static_cast<int>(c.text.size()), out);
        EXPECT_EQ(Bytes(out), c.encoded) << c.text;
    }
}

TEST(EncodeURL, AppendsAndHonoursLengths) {
    CBaseStringA out("x=");
    EncodeURL("a b", -1, out);
    EncodeURL("cd", 1, out);
    EncodeURL(nullptr, 5, out);
    EXPECT_EQ(Bytes(out), "x=a+bc");
}

TEST(DecodeURL, EqualsPythonUnquotePlus) {
    struct Case {
        const char* text;
        std::string decoded;
    };
    // python3 -c "import urllib.parse as u; print(repr(u.unquote_plus(TEXT,
    //   encoding='latin-1').encode('latin-1')))"  (latin-1 keeps every decoded byte as it is)
    const Case cases[] = {
        {"a+b%2Fc", "a b/c"},
        {"100%", "100%"},
        {"%", "%"},
        {"%4", "%4"},
        {"%G1", "%G1"},
        {"%4G", "%4G"},
        {"%%41", "%A"},
        {"%+1", "% 1"},
        {"a%2", "a%2"},
        {"%2B+%2b", "+ +"},
        {"%e4%BD%A0", "\xE4\xBD\xA0"},
        {"%00x", std::string("\0x", 2)},
        {"%FF%fe", "\xFF\xFE"},
        {"plain/text.~_-", "plain/text.~_-"},
        {"%%", "%%"},
        {"%41%42%4", "AB%4"},
        {"+%20+", "   "},
        {"%ZZ%2", "%ZZ%2"},
        {"caf%C3%A9", "caf\xC3\xA9"},
        {"%C3", "\xC3"},
    };
    for (const auto& c : cases) {
        CBaseStringA out;
        DecodeURL(c.text, -1, out);
        EXPECT_EQ(Bytes(out), c.decoded) << c.text;
    }
}

TEST(DecodeURL, AppendsAndHonoursLengths) {
    CBaseStringA out("q=");
    DecodeURL("a+b%41", 5, out);  // the length cuts the escape: "%4" stays
    DecodeURL(nullptr, 3, out);
    EXPECT_EQ(Bytes(out), "q=a b%4");
}

TEST(DecodeURL, UndoesEncodeForEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    CBaseStringA encoded;
    EncodeURL(all.data(), static_cast<int>(all.size()), encoded);
    CBaseStringA decoded;
    DecodeURL(encoded.GetString(), encoded.GetLength(), decoded);
    EXPECT_EQ(Bytes(decoded), all);
}

TEST(HtmlCodeToString, ResolvesNumericReferences) {
    struct Case {
        std::string text;
        std::u16string wide;
    };
    const Case cases[] = {
        {"A&#66;C&#x44;", u"ABCD"},
        {"&#x0x41;&#X42;&#+67;", u"ABC"},
        {"&#65abc;", u"A"},
        {"&#128512; &#x1F600;", u"\U0001F600 \U0001F600"},
        {"&#x10FFFF;", u"\U0010FFFF"},
        {"&#xFFFF;", u"\uFFFF"},
        {"\xE9\xBB\x91&#20307;", u"\u9ED1\u4F53"},
        {"a&b &lt; &amp;", u"a&b &lt; &amp;"},  // named references are not resolved
    };
    for (const auto& c : cases) {
        CBaseStringW out;
        HtmlCodeToString(c.text.data(), static_cast<int>(c.text.size()), out);
        EXPECT_EQ(Units(out), c.wide) << c.text;
    }
}

TEST(HtmlCodeToString, ValuesThatAreNoCharacterBecomeTheReplacementCharacter) {
    for (const char* text : {"&#0;", "&#-1;", "&#xD800;", "&#xDFFF;", "&#x110000;",
                             "&#99999999999999999999;", "&#x0x;"}) {
        CBaseStringW out;
        HtmlCodeToString(text, -1, out);
        EXPECT_EQ(Units(out), u"\uFFFD") << text;
    }
}

TEST(HtmlCodeToString, TextThatIsNoReferenceIsKept) {
    struct Case {
        const char* text;
        std::u16string wide;
    };
    const Case cases[] = {
        {"A&#66", u"A&#66"},  // no ';' at all
        {"&#;", u"&#;"},     {"&#abc;", u"&#abc;"}, {"&# 65;", u"&# 65;"}, {"&#x;", u"&#x;"},
        {"&#&#65;", u"&#A"}, {"x&#", u"x&#"},       {"&&#65;&", u"&A&"},
    };
    for (const auto& c : cases) {
        CBaseStringW out;
        HtmlCodeToString(c.text, -1, out);
        EXPECT_EQ(Units(out), c.wide) << c.text;
    }
}

TEST(HtmlCodeToString, LengthEndsTheTextAndResultsAreAppended) {
    CBaseStringW out(u"<");
    HtmlCodeToString("A&#66;C", 6, out);  // "A&#66;"
    HtmlCodeToString("D&#69;", 4, out);   // "D&#6": no ';' within the length
    HtmlCodeToString("EF\0G", 4, out);    // ends at the zero byte
    HtmlCodeToString("ignored", 0, out);
    HtmlCodeToString(nullptr, -1, out);
    EXPECT_EQ(Units(out), u"<ABD&#6EF");
}

TEST(HtmlCodeToString, TextThatIsNotUtf8AddsNothingForItsStretch) {
    CBaseStringW out;
    HtmlCodeToString("\xFF\xFE&#65;ok", -1, out);
    EXPECT_EQ(Units(out), u"Aok");
}

}  // namespace
