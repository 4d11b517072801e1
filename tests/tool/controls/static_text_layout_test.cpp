// ctest-labels: unit
#include "controls/static_text_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(StaticTextLayout, LinesSpreadEvenlyOrAFixedGapApart) {
    struct Case {
        int spacing;
        TextVAlign align;
        std::vector<double> tops;
    } cases[] = {
        {0, TextVAlign::Centre, {11.25, 37.5, 63.75}}, {0, TextVAlign::Near, {0, 26.25, 52.5}},
        {0, TextVAlign::Far, {22.5, 48.75, 75}},       {5, TextVAlign::Near, {0, 20, 40}},
        {5, TextVAlign::Centre, {5, 25, 45}},          {5, TextVAlign::Far, {35, 55, 75}},
    };
    for (const Case& c : cases) {
        std::vector<double> tops = SpreadLineTops({15, 15, 15}, 0, 90, c.spacing, c.align);
        ASSERT_EQ(tops.size(), c.tops.size());
        for (size_t i = 0; i < tops.size(); ++i) EXPECT_DOUBLE_EQ(tops[i], c.tops[i]) << i;
    }
}

TEST(StaticTextLayout, CrowdedAreaHasNoNegativeGapAndTopOffsetCounts) {
    std::vector<double> tops = SpreadLineTops({40, 40, 40}, 10, 90, 0, TextVAlign::Centre);
    EXPECT_EQ(tops, (std::vector<double>{10, 50, 90}));
    EXPECT_TRUE(SpreadLineTops({}, 0, 90, 0, TextVAlign::Near).empty());
}

}  // namespace
