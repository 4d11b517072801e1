// ctest-labels: unit
#include "controls/coordinate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> Texts(const CCoordinate& c) {
    std::vector<std::u16string> texts;
    for (const CoordinateLabel& label : c.LayoutLabels()) texts.push_back(label.text);
    return texts;
}

struct RangeCase {
    double minimum;
    double maximum;
    int count;
    int decimals;
    std::vector<std::u16string> expected;
};

TEST(CoordinateTest, ComputedLabelsTable) {
    const RangeCase cases[] = {
        {0, 15, 6, -1, {u"0", u"3", u"6", u"9", u"12", u"15"}},
        // 0.25 and 0.75 round away from zero.
        {0, 1, 5, -1, {u"0.0", u"0.3", u"0.5", u"0.8", u"1.0"}},
        {0, 1, 5, 2, {u"0.00", u"0.25", u"0.50", u"0.75", u"1.00"}},
        {-1, 0, 3, 0, {u"-1", u"-1", u"0"}},                // -0.5 rounds to -1; no "-0"
        {5, 5, 2, -1, {u"5.0000000000", u"5.0000000000"}},  // step 0: ten decimals
    };
    for (const RangeCase& c : cases) {
        CCoordinate coordinate;
        coordinate.rect = RECT{0, 0, 300, 20};
        coordinate.rangeMin = c.minimum;
        coordinate.rangeMax = c.maximum;
        coordinate.count = c.count;
        coordinate.decimals = c.decimals;
        EXPECT_EQ(Texts(coordinate), c.expected) << c.minimum << ".." << c.maximum;
    }
}

TEST(CoordinateTest, WrapBringsValuesBackIntoTheInterval) {
    CCoordinate c;
    c.rangeMin = -5;
    c.rangeMax = 70;
    c.count = 2;
    c.decimals = 0;
    c.wrapLow = 0;
    c.wrapHigh = 63;
    c.wrapPeriod = 64;
    EXPECT_EQ(c.LabelValue(0), 59.0);
    EXPECT_EQ(c.LabelValue(1), 6.0);
    c.wrapPeriod = -1;
    EXPECT_EQ(c.LabelValue(0), -5.0) << "no period, no wrap";
}

TEST(CoordinateTest, PercentInPrefixOrSuffixIsPlainText) {
    CCoordinate c;
    c.rangeMin = 0;
    c.rangeMax = 12;
    c.count = 5;
    c.decimals = 0;
    c.prefix = u"T";
    c.suffix = u"s";
    EXPECT_EQ(c.ComputedText(1), u"T3s");
    // Pasted into a printf format these would be conversions reading arguments never passed.
    c.prefix = u"%s%n";
    c.suffix = u" %d%%";
    EXPECT_EQ(c.ComputedText(1), u"%s%n3 %d%%");
}

TEST(CoordinateTest, CustomLabelReplacesOnlyItsIndexAndTheFirstEntryWins) {
    CCoordinate c;
    c.rect = RECT{0, 0, 100, 200};
    c.rangeMin = 0;
    c.rangeMax = 4;
    c.count = 5;
    c.AddCustomLabel(4, u"T0");
    c.AddCustomLabel(4, u"later");
    EXPECT_EQ(Texts(c), (std::vector<std::u16string>{u"0", u"1", u"2", u"3", u"T0"}));
    c.vertical = 1;
    c.ClearCustomLabels();
    c.AddCustomLabel(0, u"top");
    EXPECT_EQ(Texts(c), (std::vector<std::u16string>{u"top", u"3", u"2", u"1", u"0"}));
}

TEST(CoordinateTest, HorizontalLayoutCellsAndFlags) {
    CCoordinate c;
    c.rect = RECT{10, 0, 110, 20};
    c.count = 5;
    c.alignment = kLabelAlignFar;
    c.offset = 3;
    const auto labels = c.LayoutLabels();
    ASSERT_EQ(labels.size(), 5u);
    const int common = kLabelSingleLine | kLabelEndEllipsis | kLabelBottom;
    EXPECT_EQ(labels[0].rect.left, 10);
    EXPECT_EQ(labels[0].rect.right, 30);
    EXPECT_EQ(labels[0].flags, common | kLabelLeft);
    EXPECT_EQ(labels[4].rect.left, 90);
    EXPECT_EQ(labels[4].rect.right, 110);
    EXPECT_EQ(labels[4].flags, common | kLabelRight);
    // pitch 25: label 1 spans 12.5 .. 37.5 rounded away from zero.
    EXPECT_EQ(labels[1].rect.left, 23);
    EXPECT_EQ(labels[1].rect.right, 48);
    EXPECT_EQ(labels[1].flags, common | kLabelCentre);
    EXPECT_EQ(labels[1].rect.bottom, 17) << "far alignment moves the bottom up by the offset";
}

TEST(CoordinateTest, VerticalLayoutPutsTheMaximumOnTop) {
    CCoordinate c;
    c.vertical = 1;
    c.rect = RECT{0, 0, 40, 100};
    c.rangeMin = 0;
    c.rangeMax = 100;
    c.count = 3;
    c.alignment = kLabelAlignCentre;
    const auto labels = c.LayoutLabels();
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0].text, u"100");
    EXPECT_EQ(labels[0].flags & (kLabelBottom | kLabelVCentre), kLabelTop);
    EXPECT_EQ(labels[2].flags & kLabelBottom, kLabelBottom);
    EXPECT_EQ(labels[1].flags & kLabelVCentre, kLabelVCentre);
    EXPECT_EQ(labels[1].flags & kLabelCentre, kLabelCentre) << "centred across the panel";
}

TEST(CoordinateTest, DegenerateCountsAreHarmless) {
    CCoordinate c;
    c.rect = RECT{0, 0, 100, 20};
    c.count = 0;
    EXPECT_TRUE(c.LayoutLabels().empty());
    c.count = -3;
    EXPECT_TRUE(c.LayoutLabels().empty());
    c.count = 1;
    c.rangeMin = 7;
    const auto one = c.LayoutLabels();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].rect.left, 0);
    EXPECT_EQ(one[0].rect.right, 100);
}

TEST(CoordinateTest, LabelStyleResetsOffsetPrefixAndSuffix) {
    CCoordinate c;
    c.offset = 4;
    c.prefix = u"a";
    c.suffix = u"b";
    c.SetLabelStyle(12, RGB(1, 2, 3), 2);
    EXPECT_EQ(c.pointSize, 12);
    EXPECT_EQ(c.textColour, RGB(1, 2, 3));
    EXPECT_EQ(c.decimals, 2);
    EXPECT_EQ(c.offset, 0);
    EXPECT_TRUE(c.prefix.empty());
    EXPECT_TRUE(c.suffix.empty());
}

}  // namespace
