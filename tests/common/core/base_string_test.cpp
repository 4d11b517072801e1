// Behaviour shared by CBaseStringA and CBaseStringW, run for both widths: content, the capacity
// rule, the letter-case rule of Set, texts taken from the string's own buffer, searching,
// comparing and in-place changes.
#include "core/base_string.h"

#include <gtest/gtest.h>

#include "common/core/base_string_test_support.h"
#include "core/size_limits.h"

namespace {

template <typename S>
class BaseString : public ::testing::Test {};

using StringTypes = ::testing::Types<CBaseStringA, CBaseStringW>;
TYPED_TEST_SUITE(BaseString, StringTypes);

TYPED_TEST(BaseString, FreshStringIsEmptyWithoutBufferButNeverNull) {
    using Char = CharOf<TypeParam>;
    TypeParam s;
    ASSERT_NE(s.GetString(), nullptr);
    EXPECT_EQ(s.GetString()[0], Char(0));
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetCapacity(), 0);
}

TYPED_TEST(BaseString, AppendingOneCharacterAtATimeDoublesTheCapacity) {
    using Char = CharOf<TypeParam>;
    // Capacity after k characters: the smallest power of two that holds k + 1.
    const int expected[] = {2, 4, 4, 8, 8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16, 32};
    TypeParam s;
    std::basic_string<Char> shadow;
    for (int k = 1; k <= 16; ++k) {
        const Char ch = Char('a' + k % 26);
        s.Append(ch);
        shadow.push_back(ch);
        EXPECT_EQ(s.GetCapacity(), expected[k - 1]) << "after " << k << " characters";
        EXPECT_EQ(Text(s), shadow);
    }
}

TYPED_TEST(BaseString, SetAllocatesTheSmallestPowerOfTwoThatHoldsTheText) {
    using Char = CharOf<TypeParam>;
    const struct {
        int length;
        int capacity;
    } cases[] = {{1, 2}, {3, 4}, {4, 8}, {7, 8}, {8, 16}, {100, 128}};
    for (const auto& c : cases) {
        TypeParam s;
        const std::basic_string<Char> text(static_cast<size_t>(c.length), Char('x'));
        s.Set(text.c_str());
        EXPECT_EQ(s.GetLength(), c.length);
        EXPECT_EQ(s.GetCapacity(), c.capacity) << "length " << c.length;
    }
}

TYPED_TEST(BaseString, TrunkCutsAndGivesMemoryBack) {
    using Char = CharOf<TypeParam>;
    const struct {
        int cut;
        int length;
        int capacity;
    } cases[] = {
        {3, 3, 4},                // 64 -> 32 -> 16 -> 8 -> 4
        {40, 40, 64},             // 41 is not below 32: the capacity stays
        {31, 31, 64},             // 32 is not below half of 64: the capacity stays
        {30, 30, 32}, {0, 0, 1},  // an empty text that still holds a buffer
        {-5, 0, 1},               // negative counts as 0
        {50, 50, 64},             // not below the length: nothing happens
        {60, 50, 64},
    };
    for (const auto& c : cases) {
        TypeParam s;
        const std::basic_string<Char> text(50, Char('q'));
        s.Append(text.c_str());
        ASSERT_EQ(s.GetCapacity(), 64);
        s.Trunk(c.cut);
        EXPECT_EQ(s.GetLength(), c.length) << "cut " << c.cut;
        EXPECT_EQ(s.GetCapacity(), c.capacity) << "cut " << c.cut;
        EXPECT_EQ(Text(s), text.substr(0, static_cast<size_t>(c.length)));
        EXPECT_EQ(s.GetString()[c.length], Char(0));
    }
}

TYPED_TEST(BaseString, EmptyingBySetOrFreeReleasesTheBuffer) {
    using Char = CharOf<TypeParam>;
    TypeParam s(L<Char>("abc").c_str());
    s.Set(static_cast<const Char*>(nullptr));
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetCapacity(), 0);

    s.Set(L<Char>("abc").c_str());
    s.Set(L<Char>("").c_str());
    EXPECT_EQ(s.GetCapacity(), 0);

    s.Set(L<Char>("abc").c_str());
    s.Free();
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetCapacity(), 0);
    EXPECT_EQ(s.GetString()[0], Char(0));
}

TYPED_TEST(BaseString, SetNeverChangesOnlyTheLetterCase) {
    using Char = CharOf<TypeParam>;
    const struct {
        const char* before;
        const char* set;
        const char* after;
    } cases[] = {
        {"abc", "ABC", "abc"},  // same length, differs only in case: unchanged
        {"abc", "aBc", "abc"}, {"abc", "abd", "abd"},    // differs in a letter
        {"abc", "ABD", "ABD"}, {"abc", "abcd", "abcd"},  // other length
        {"abc", "AB", "AB"},   {"a-1", "A-1", "a-1"},
    };
    for (const auto& c : cases) {
        TypeParam s(L<Char>(c.before).c_str());
        s.Set(L<Char>(c.set).c_str());
        EXPECT_EQ(Text(s), L<Char>(c.after)) << c.before << " <- " << c.set;
    }
}

TYPED_TEST(BaseString, OperationsEndingInSetShareTheLetterCaseRule) {
    using Char = CharOf<TypeParam>;
    TypeParam lower(L<Char>("abc").c_str());
    const TypeParam upper(L<Char>("ABC").c_str());

    TypeParam assigned(L<Char>("abc").c_str());
    assigned = upper;
    EXPECT_EQ(Text(assigned), L<Char>("abc"));

    TypeParam replaced(L<Char>("abc").c_str());
    replaced.Replace(L<Char>("a").c_str(), 1, L<Char>("A").c_str(), 1, 0);
    EXPECT_EQ(Text(replaced), L<Char>("abc"));

    TypeParam formatted(L<Char>("abc").c_str());
    formatted.Format("%s", "ABC");
    EXPECT_EQ(Text(formatted), L<Char>("abc"));

    TypeParam converted(L<Char>("abc").c_str());
    converted.Set(u"ABC");
    converted.Set("ABC");
    EXPECT_EQ(Text(converted), L<Char>("abc"));

    // A move is a transfer of ownership, not a Set: it takes the content exactly.
    TypeParam source(L<Char>("ABC").c_str());
    lower = std::move(source);
    EXPECT_EQ(Text(lower), L<Char>("ABC"));
    EXPECT_EQ(source.GetLength(), 0);
    EXPECT_EQ(source.GetCapacity(), 0);
}

TYPED_TEST(BaseString, SetAcceptsAPartOfItsOwnText) {
    using Char = CharOf<TypeParam>;
    const struct {
        int offset;
        int length;
        const char* expected;
    } cases[] = {
        {2, -1, "cdefgh"}, {2, 3, "cde"}, {0, 4, "abcd"},
        {7, -1, "h"},      {8, -1, ""},   {0, -1, "abcdefgh"},
    };
    for (const auto& c : cases) {
        TypeParam s(L<Char>("abcdefgh").c_str());
        s.Set(s.GetString() + c.offset, c.length);
        EXPECT_EQ(Text(s), L<Char>(c.expected)) << "offset " << c.offset;
    }
}

TYPED_TEST(BaseString, AppendsItsOwnTextWhileTheBufferMoves) {
    using Char = CharOf<TypeParam>;
    TypeParam s(L<Char>("abc").c_str());
    std::basic_string<Char> shadow = L<Char>("abc");
    for (int round = 0; round < 8; ++round) {
        const int capacityBefore = s.GetCapacity();
        s.Append(s.GetString());
        shadow += shadow;
        ASSERT_EQ(Text(s), shadow) << "round " << round;
        EXPECT_GT(s.GetCapacity(), capacityBefore);
    }
    // Room to spare: the text is copied within the same buffer.
    TypeParam roomy(L<Char>("abcdefg").c_str());
    roomy.Trunk(5);
    ASSERT_EQ(roomy.GetCapacity(), 8);
    roomy.Append(roomy.GetString() + 1, 2);
    EXPECT_EQ(Text(roomy), L<Char>("abcdebc"));
    EXPECT_EQ(roomy.GetCapacity(), 8);
}

TYPED_TEST(BaseString, AppendIgnoresNullAndEmptyTexts) {
    using Char = CharOf<TypeParam>;
    TypeParam s;
    s.Append(static_cast<const Char*>(nullptr));
    s.Append(L<Char>("").c_str());
    s.Append(L<Char>("xyz").c_str(), 0);
    EXPECT_EQ(s.GetCapacity(), 0);
    s.Append(L<Char>("xyz").c_str(), 2);
    EXPECT_EQ(Text(s), L<Char>("xy"));
}

TYPED_TEST(BaseString, RefusesSizesBeyondTheLimitAndStaysUnchanged) {
    using Char = CharOf<TypeParam>;
    const int tooLong = static_cast<int>(kMaxStringChars);
    TypeParam s(L<Char>("keep").c_str());
    {
        LogCapture errors({.level = kDbgLevelError});
        // Refused before anything is read from the (short) text.
        s.Append(L<Char>("x").c_str(), tooLong);
        s.Append(L<Char>("x").c_str(), tooLong - 4);  // 4 + n reaches the limit
        s.Set(L<Char>("x").c_str(), tooLong);
        s.Replace(L<Char>("e").c_str(), 1, L<Char>("y").c_str(), tooLong, 0);
        EXPECT_EQ(errors.Texts().size(), 4u);
        for (const std::string& line : errors.Texts()) {
            EXPECT_NE(line.find("refused"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(Text(s), L<Char>("keep"));
    EXPECT_EQ(s.GetCapacity(), 8);
}

TYPED_TEST(BaseString, FindsCharacters) {
    using Char = CharOf<TypeParam>;
    const TypeParam s(L<Char>("abcabc").c_str());
    const struct {
        char ch;
        int start;
        int expected;
    } cases[] = {{'a', 0, 0},  {'a', 1, 3},  {'c', 3, 5}, {'c', 6, -1},
                 {'z', 0, -1}, {'b', -3, 1}, {'A', 0, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(s.Find(Char(c.ch), c.start), c.expected) << c.ch << " from " << c.start;
    }
    EXPECT_EQ(TypeParam().Find(Char('a')), -1);
}

TYPED_TEST(BaseString, FindsTexts) {
    using Char = CharOf<TypeParam>;
    const struct {
        const char* in;
        const char* find;
        int start;
        int ignoreCase;
        int expected;
    } cases[] = {
        {"abc", "", 0, 0, 0},  // empty text: 0 whatever the start
        {"abc", "", 9, 0, 0},       {"", "", 0, 0, 0},
        {"abc", "b", 5, 0, -1},     {"abc", "b", 3, 0, -1},
        {"abcabc", "bc", 0, 0, 1},  {"abcabc", "bc", 2, 0, 4},  // index counts from the beginning
        {"abcabc", "BC", 0, 0, -1}, {"abcabc", "BC", 2, 1, 4},
        {"abc", "abcd", 0, 0, -1},  {"abc", "c", -2, 0, 2},
        {"", "a", 0, 0, -1},
    };
    for (const auto& c : cases) {
        const TypeParam s(L<Char>(c.in).c_str());
        EXPECT_EQ(s.Find(L<Char>(c.find).c_str(), c.start, c.ignoreCase), c.expected)
            << c.in << " / " << c.find << " from " << c.start;
    }
    EXPECT_EQ(TypeParam(L<Char>("abc").c_str()).Find(static_cast<const Char*>(nullptr), 0, 0), -1);
}

TYPED_TEST(BaseString, ComparesWholeTexts) {
    using Char = CharOf<TypeParam>;
    const struct {
        const char* in;
        const char* other;
        int ignoreCase;
        int expected;
    } cases[] = {
        {"", "", 0, 1},       {"abc", "abc", 0, 1}, {"abc", "ABC", 0, 0},
        {"abc", "ABC", 1, 1}, {"abc", "ab", 0, 0},  {"ab", "abc", 0, 0},
        {"a1-", "A1-", 1, 1}, {"a[", "A{", 1, 0},  // '[' and '{' are not letters
    };
    for (const auto& c : cases) {
        const TypeParam s(L<Char>(c.in).c_str());
        const TypeParam other(L<Char>(c.other).c_str());
        EXPECT_EQ(s.Equal(L<Char>(c.other).c_str(), -1, c.ignoreCase), c.expected)
            << c.in << " vs " << c.other;
        EXPECT_EQ(s.Equal(&other, c.ignoreCase), c.expected) << c.in << " vs " << c.other;
    }
    const TypeParam abc(L<Char>("abc").c_str());
    EXPECT_EQ(abc.Equal(L<Char>("abcdef").c_str(), 3), 1);
    EXPECT_EQ(abc.Equal(static_cast<const TypeParam*>(nullptr)), 0);
    EXPECT_EQ(abc.Equal(&abc), 1);
    EXPECT_EQ(TypeParam().Equal(static_cast<const Char*>(nullptr)), 1);
    EXPECT_EQ(TypeParam(L<Char>("a").c_str()).Equal(Char('a')), 1);
    EXPECT_EQ(TypeParam(L<Char>("a").c_str()).Equal(Char('A'), 1), 1);
    EXPECT_EQ(TypeParam(L<Char>("ab").c_str()).Equal(Char('a')), 0);
}

TYPED_TEST(BaseString, ComparesBeginnings) {
    using Char = CharOf<TypeParam>;
    const struct {
        const char* in;
        const char* prefix;
        int ignoreCase;
        int expected;
    } cases[] = {
        {"abcdef", "abc", 0, 1}, {"abcdef", "abc", 1, 1}, {"abcdef", "ABC", 0, 0},
        {"abcdef", "ABC", 1, 1}, {"abc", "abcdef", 0, 0}, {"abc", "abcdef", 1, 0},
        {"abc", "", 0, 0},       {"", "", 0, 1},          {"abc", "abc", 0, 1},
        {"", "a", 0, 0},
    };
    for (const auto& c : cases) {
        const TypeParam s(L<Char>(c.in).c_str());
        const TypeParam prefix(L<Char>(c.prefix).c_str());
        EXPECT_EQ(s.StartWith(L<Char>(c.prefix).c_str(), -1, c.ignoreCase), c.expected)
            << c.in << " / " << c.prefix;
        EXPECT_EQ(s.StartWith(&prefix, c.ignoreCase), c.expected) << c.in << " / " << c.prefix;
    }
    const TypeParam abc(L<Char>("abc").c_str());
    EXPECT_EQ(abc.StartWith(static_cast<const Char*>(nullptr)), 0);
    EXPECT_EQ(TypeParam().StartWith(static_cast<const Char*>(nullptr)), 1);
    EXPECT_EQ(abc.StartWith(static_cast<const TypeParam*>(nullptr)), 0);
    EXPECT_EQ(abc.StartWith(&abc), 1);
    EXPECT_EQ(abc.StartWith(Char('a')), 1);
    EXPECT_EQ(abc.StartWith(Char('A'), 1), 1);
    EXPECT_EQ(abc.StartWith(Char('b')), 0);
    EXPECT_EQ(TypeParam().StartWith(Char('a')), 0);
}

TYPED_TEST(BaseString, TestsDigitsAndLetters) {
    using Char = CharOf<TypeParam>;
    const struct {
        const char* in;
        int digit;
        int alpha;
    } cases[] = {
        {"0123456789", 1, 0}, {"12a", 0, 0}, {"abcXYZ", 0, 1}, {"ab1", 0, 0},
        {"a b", 0, 0},        {"-1", 0, 0},  {"@[`{", 0, 0},   {"/:", 0, 0},
    };
    for (const auto& c : cases) {
        const TypeParam s(L<Char>(c.in).c_str());
        EXPECT_EQ(s.IsDigit(), c.digit) << c.in;
        EXPECT_EQ(s.IsAlpha(), c.alpha) << c.in;
    }
    TypeParam s;
    EXPECT_EQ(s.IsDigit(), 0);  // no buffer
    EXPECT_EQ(s.IsAlpha(), 0);
    s.Set(L<Char>("12").c_str());
    s.Trunk(0);  // empty, but still a buffer
    EXPECT_EQ(s.IsDigit(), 1);
    EXPECT_EQ(s.IsAlpha(), 1);
}

TYPED_TEST(BaseString, ChangesCaseAndOrderInPlace) {
    using Char = CharOf<TypeParam>;
    TypeParam s(L<Char>("Hello, World 09@[`{").c_str());
    s.ToUpper();
    EXPECT_EQ(Text(s), L<Char>("HELLO, WORLD 09@[`{"));
    s.ToLower();
    EXPECT_EQ(Text(s), L<Char>("hello, world 09@[`{"));
    s.Revert();
    EXPECT_EQ(Text(s), L<Char>("{`[@90 dlrow ,olleh"));

    TypeParam empty;
    empty.ToUpper();
    empty.Revert();
    EXPECT_EQ(empty.GetLength(), 0);
}

TYPED_TEST(BaseString, CopiesAndMoves) {
    using Char = CharOf<TypeParam>;
    const TypeParam original(L<Char>("text").c_str());
    TypeParam copy(original);
    TypeParam byPointer(&original);
    TypeParam fromNull(static_cast<const TypeParam*>(nullptr));
    EXPECT_EQ(Text(copy), L<Char>("text"));
    EXPECT_EQ(Text(byPointer), L<Char>("text"));
    EXPECT_EQ(fromNull.GetLength(), 0);
    EXPECT_NE(copy.GetString(), original.GetString());

    const Char* buffer = copy.GetString();
    TypeParam moved(std::move(copy));
    EXPECT_EQ(moved.GetString(), buffer);
    EXPECT_EQ(copy.GetLength(), 0);
    EXPECT_EQ(copy.GetCapacity(), 0);

    TypeParam& alias = moved;
    moved = std::move(alias);
    EXPECT_EQ(Text(moved), L<Char>("text"));

    TypeParam target(L<Char>("old").c_str());
    target = original;
    EXPECT_EQ(Text(target), L<Char>("text"));
    target.Set(static_cast<const TypeParam*>(nullptr));
    EXPECT_EQ(target.GetCapacity(), 0);
}

}  // namespace
