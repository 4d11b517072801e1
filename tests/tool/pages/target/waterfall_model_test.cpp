#include "pages/target/waterfall_model.h"

#include <gtest/gtest.h>

#include <array>

#include "draw/color_table.h"

namespace {

TargetReport Numbered(int number) {
    TargetReport report;
    for (int gate = 0; gate < kGateCount; ++gate) report.gateEnergy[gate] = number + gate * 0.01;
    return report;
}

TEST(WaterfallModelTest, RowsAreInTimeOrderAndBounded) {
    struct Case {
        size_t maxRows;
        int added;
    };
    for (const Case& c : {Case{5, 3}, Case{5, 5}, Case{5, 12}, Case{1, 4}, Case{0, 2}}) {
        WaterfallModel model(c.maxRows);
        for (int n = 0; n < c.added; ++n) model.Add(Numbered(n));
        const size_t kept = std::min<size_t>(std::max<size_t>(c.maxRows, 1), c.added);
        ASSERT_EQ(model.RowCount(), kept) << c.maxRows << "/" << c.added;
        EXPECT_EQ(model.Added(), static_cast<uint64_t>(c.added));
        // Oldest first; the newest report is the last row.
        for (size_t row = 0; row < kept; ++row) {
            const int number = c.added - static_cast<int>(kept) + static_cast<int>(row);
            EXPECT_EQ(model.RowReportNumber(row), static_cast<uint64_t>(number));
            EXPECT_DOUBLE_EQ(model.RowEnergies(row)[0], number) << "row " << row;
            EXPECT_DOUBLE_EQ(model.RowEnergies(row)[15], number + 0.15) << "row " << row;
        }
    }
}

TEST(WaterfallModelTest, ColoursComeFromTheHotColourTable) {
    std::array<uint32_t, 256> table{};
    InitHotImageColorTable(table.data());
    WaterfallModel model(4);
    struct Case {
        double db;
        size_t index;
    };
    // index = trunc((db - floor) * 256 / (top - floor)), clamped.
    for (const Case& c : {Case{-3.0, 0}, Case{0.0, 0}, Case{30.0, 128}, Case{59.9, 255},
                          Case{80.0, 255}, Case{15.0, 64}}) {
        EXPECT_EQ(model.EnergyColour(c.db), table[c.index]) << c.db;
    }
    TargetReport report;
    report.gateEnergy[2] = 30.0;
    report.gateEnergy[9] = 80.0;
    model.Add(report);
    const WaterfallPixels pixels = model.RowPixels(0);
    EXPECT_EQ(pixels[0], table[0]);
    EXPECT_EQ(pixels[2], table[128]);
    EXPECT_EQ(pixels[9], table[255]);
}

TEST(WaterfallModelTest, ClearStartsOver) {
    WaterfallModel model(3);
    for (int n = 0; n < 7; ++n) model.Add(Numbered(n));
    model.Clear();
    EXPECT_EQ(model.RowCount(), 0u);
    EXPECT_EQ(model.Added(), 0u);
    model.Add(Numbered(42));
    ASSERT_EQ(model.RowCount(), 1u);
    EXPECT_DOUBLE_EQ(model.RowEnergies(0)[0], 42.0);
    EXPECT_EQ(model.RowReportNumber(0), 0u);
}

}  // namespace
