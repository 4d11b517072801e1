// ctest-labels: unit
// The parameter page's window-free rules: the state report frequencies a range report frequency
// allows, the nearest entry, the response speed, the range checks' nesting, and the device
// sequences on a copy (all or nothing) on their worker.
#include "pages/params/param_page_rules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "pages/params/param_sequence_worker.h"
#include "support/thread_names.h"
#include "support/wait_until.h"
#include "tool/pages/params/fake_param_link.h"

namespace {

TEST(ParamPageRulesTest, StateFrequenciesAreTheWholeMultiplesUpTo8) {
    const struct {
        double range;
        std::vector<double> offered;
    } cases[] = {
        {1.0, {1, 2, 3, 4, 5, 6, 7, 8}},
        {2.0, {2, 4, 6, 8}},
        {3.0, {3, 6}},
        {4.0, {4, 8}},
        {5.0, {5}},
        {8.0, {8}},
        {0.5, {1, 2, 3, 4, 5, 6, 7, 8}},
        {2.5, {5}},
        {9.0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        EXPECT_EQ(StateReportFrequencies(c.range), c.offered);
    }
}

TEST(ParamPageRulesTest, NearestEntryPrefersTheFirstOfEquallyNearOnes) {
    const struct {
        std::vector<double> entries;
        double value;
        int index;
    } cases[] = {
        {{4, 8}, 5.0, 0},    {{3, 6}, 4.5, 0},     {{2, 4, 6, 8}, 7.0, 2},
        {{1, 2, 3}, 9.0, 2}, {{1, 2, 3}, -1.0, 0}, {{}, 1.0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(NearestFrequencyIndex(c.entries, c.value), c.index);
    }
    EXPECT_EQ(FrequencyText(4.0), "4.0");
}

TEST(ParamPageRulesTest, FastOnlyWithinATenthOfTwo) {
    EXPECT_TRUE(IsFastResponse(2.0));
    EXPECT_TRUE(IsFastResponse(1.91));
    EXPECT_FALSE(IsFastResponse(1.0));
    EXPECT_FALSE(IsFastResponse(2.1));
    EXPECT_FALSE(IsFastResponse(1.9));
}

// Edits as the page's are: a write into the edit being handled runs its check again at once.
class NestingView : public IRangeCheckView {
public:
    explicit NestingView(RadarParamSetting& record) : m_record(record) {}
    double ReadRangeEdit(RangeEdit edit) override { return m_text[int(edit)]; }
    void WriteRangeEdit(RangeEdit edit, double metres) override {
        m_text[int(edit)] = metres;
        if (m_handling[int(edit)]) Check(edit);
    }
    void ShowRangeTip(RangeEdit edit, const std::u16string& text, int id) override {
        tips.push_back({edit, text, id});
    }
    void Type(RangeEdit edit, double metres) {
        m_text[int(edit)] = metres;
        Check(edit);
    }
    struct Tip {
        RangeEdit edit;
        std::u16string text;
        int id;
    };
    std::vector<Tip> tips;

private:
    void Check(RangeEdit edit) {
        const bool outer = m_handling[int(edit)];
        m_handling[int(edit)] = true;
        edit == RangeEdit::Min ? CheckMinRange(m_record, *this) : CheckMaxRange(m_record, *this);
        m_handling[int(edit)] = outer;
    }
    RadarParamSetting& m_record;
    double m_text[2] = {0.0, 6.3};
    bool m_handling[2] = {false, false};
};

TEST(ParamPageRulesTest, MinimumOf8ShowsItsTipsInOrder) {
    RadarParamSetting record;
    NestingView view(record);
    view.Type(RangeEdit::Min, 8.0);
    EXPECT_DOUBLE_EQ(record.DetectRangeMin, 7.35);
    EXPECT_DOUBLE_EQ(record.DetectRangeMax, 8.05);
    ASSERT_EQ(view.tips.size(), 3u);
    EXPECT_EQ(view.tips[0].text, u"Range Value Max - Min  Must >= 0.35");
    EXPECT_EQ(view.tips[0].edit, RangeEdit::Max);
    EXPECT_EQ(view.tips[1].text, u"Range Min Value Must <= 7.70");
    EXPECT_EQ(view.tips[2].text, u"Range Min Value Must <= 7.35");
    EXPECT_EQ(view.tips[2].id, kRangeTipAboveMaximum);
}

TEST(ParamSequenceTest, AFailedReadLeavesTheRecordWhole) {
    FakeParamLink link;
    link.SetDetect({3, 12, 10, 50, 25, 30});
    link.SetGates(kCmdReadTriggerThreshold, 60);
    link.refused.insert(kCmdReadHoldThreshold);
    RadarParamSetting record;
    EXPECT_EQ(ReadAllParametersAllOrNothing(link, record), kParamResultFailed);
    EXPECT_EQ(record.DetectRangeMax, kDefaultDetectRangeMax);
    EXPECT_EQ(record.TriggerThreshold[0], kDefaultTriggerThreshold[0]);
    link.refused.clear();
    link.SetGates(kCmdReadHoldThreshold, 20);
    EXPECT_EQ(ReadAllParametersAllOrNothing(link, record), kParamResultSuccess);
    EXPECT_EQ(record.DetectRangeMax, 12 * 0.7);
    EXPECT_EQ(record.TriggerThreshold[0], 60u);
    EXPECT_EQ(record.HoldThreshold[15], 35u);
}

TEST(ParamSequenceTest, TheWorkerRunsOneSequenceAtATimeOnACopy) {
    FakeParamLink link;
    link.SetDetect({1, 5, 20, 10, 10, 25});
    link.SetGates(kCmdReadTriggerThreshold, 40);
    link.SetGates(kCmdReadHoldThreshold, 30);
    ParamSequenceWorker worker(link);
    RadarParamSetting record;
    std::atomic<int> result{-1};
    std::atomic<bool> onWorker{false};
    RadarParamSetting got;
    const std::thread::id caller = std::this_thread::get_id();
    ASSERT_EQ(worker.Start(ParamSequence::Read, record,
                           [&](int r, const RadarParamSetting& copy) {
                               got = copy;
                               onWorker = std::this_thread::get_id() != caller &&
                                          ThreadsNamed(kParamSequenceThreadName) == 1;
                               result = r;
                           }),
              1);
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_TRUE(onWorker);
    EXPECT_EQ(result, kParamResultSuccess);
    EXPECT_EQ(got.ObjectDisappearReportTime, 25u);
    EXPECT_EQ(record.ObjectDisappearReportTime, kDefaultObjectDisappearReportTime);
    ASSERT_TRUE(WaitUntil([&] { return !worker.IsBusy(); }));
    // A second run on the same worker.
    result = -1;
    ASSERT_EQ(worker.Start(ParamSequence::ReadThresholds, record,
                           [&](int r, const RadarParamSetting& copy) {
                               got = copy;
                               result = r;
                           }),
              1);
    ASSERT_TRUE(WaitUntil([&] { return result != -1; }));
    EXPECT_EQ(got.HoldThreshold[1], 31u);
}

}  // namespace
