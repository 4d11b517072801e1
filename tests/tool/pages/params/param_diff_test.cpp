#include "pages/params/param_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/params/param_keys.h"

namespace {

std::vector<std::string> Lines(const std::vector<ParamChange>& changes) {
    std::vector<std::string> lines;
    for (const ParamChange& change : changes) lines.push_back(ParamChangeText(change));
    return lines;
}

TEST(ParamDiffTest, ListsExactlyTheChangedParameters) {
    struct Case {
        const char* name;
        void (*change)(RadarParamSetting&);
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"none", [](RadarParamSetting&) {}, {}},
        {"one distance",
         [](RadarParamSetting& r) { r.DetectRangeMax = 4.9; },
         {"DetectRangeMax: 6.30 -> 4.90"}},
        {"below the file's precision", [](RadarParamSetting& r) { r.DetectRangeMax = 6.301; }, {}},
        {"gates and frequency, in the section's order",
         [](RadarParamSetting& r) {
             r.HoldThreshold[15] = 20;
             r.TriggerThreshold[3] = 40;
             r.ResponseFreq = 1.0;
             r.ObjectDisappearReportTime = 5;
         },
         {"ResponseFreq: 2.0 -> 1.0", "ObjectDisappearReportTime: 20 -> 5",
          "Gate3TriggerThreshold: 37 -> 40", "Gate15HoldThreshold: 33 -> 20"}},
    };
    for (const Case& c : cases) {
        const RadarParamSetting before;
        RadarParamSetting after;
        c.change(after);
        EXPECT_EQ(Lines(DiffParamRecords(before, after)), c.expected) << c.name;
    }
}

TEST(ParamDiffTest, EveryParameterIsCompared) {
    // Each key changed alone shows as exactly that key.
    const RadarParamSetting before;
    for (const ParamKey& key : ParamKeys()) {
        RadarParamSetting after;
        if (key.decimal != nullptr) {
            after.*key.decimal += 1.0;
        } else if (key.whole != nullptr) {
            after.*key.whole += 1;
        } else {
            (after.*key.gates)[key.gate] += 1;
        }
        const std::vector<ParamChange> changes = DiffParamRecords(before, after);
        ASSERT_EQ(changes.size(), 1u) << key.name;
        EXPECT_EQ(changes[0].name, key.name);
        EXPECT_NE(changes[0].oldValue, changes[0].newValue);
    }
}

TEST(ParamDiffTest, ValueTextsAreTheSettingsFilesFormats) {
    RadarParamSetting record;
    record.DetectRangeMin = 0.35;
    const std::vector<std::string> texts = ParamValueTexts(record);
    ASSERT_EQ(texts.size(), ParamKeys().size());
    EXPECT_EQ(texts[0], "0.70");  // RangeResolution
    EXPECT_EQ(texts[1], "0.35");
    EXPECT_EQ(texts[3], "2.0");  // ResponseFreq
    EXPECT_EQ(texts[6], "20");   // ObjectDisappearReportTime
    EXPECT_EQ(texts[7], "48");   // Gate0TriggerThreshold
}

}  // namespace
