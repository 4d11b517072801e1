// ctest-labels: gui
// The parameter page without a sensor: the range checks with their tips (typed, then left with
// Tab), the report frequency lists, the response speed, saving, and the answers of a page whose
// device is not connected.
#include "pages/params/param_setting_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>

#include <ostream>
#include <string>
#include <vector>

#include "tool/pages/params/params_gui_support.h"

namespace {

struct RangeCase {
    const char* name;
    double startMin;
    double startMax;
    int editId;  // the edit typed into
    const char* typed;
    double endMin;
    double endMax;
    const char* minText;  // what the edits show at the end
    const char* maxText;
    int minTipId;  // 0: no tip expected on that edit
    const char16_t* minTip;
    int maxTipId;
    const char16_t* maxTip;
};

const RangeCase kRangeCases[] = {
    {"MaxAbove84", 0.0, 6.3, kIdcRangeMax, "9", 0.0, 8.4, "0", "8.4", 0, nullptr, 12,
     u"Range Max Value Must <= 8.4"},
    {"MaxEmpty", 0.0, 6.3, kIdcRangeMax, "", 0.0, 0.7, "0", "0.7", 0, nullptr, 11,
     u"Range Max Value Must >= 0.70"},
    {"MinBelowZero", 0.0, 6.3, kIdcRangeMin, "-1", 0.0, 6.3, "0", "6.3", 11,
     u"Range Min Value Must >= 0.0", 0, nullptr},
    {"MinSixWidensMax", 0.0, 6.3, kIdcRangeMin, "6", 6.0, 6.35, "6", "6.35", 0, nullptr, 1001,
     u"Range Value Max - Min  Must >= 0.35"},
    // 7.7 first (its tip replaced), the nested check moves the maximum, then gate 11 twice.
    {"MinEightNested", 0.0, 6.3, kIdcRangeMin, "8", 7.35, 8.05, "7.35", "8.05", 12,
     u"Range Min Value Must <= 7.35", 1001, u"Range Value Max - Min  Must >= 0.35"},
    {"MinInOneLowGate", 1.0, 1.2, kIdcRangeMin, "1.0", 1.0, 1.75, "1.0", "1.75", 0, nullptr, 11,
     u"Range Max Value Must >= 1.40"},
    {"MaxNarrowAcrossGates", 2.0, 2.1, kIdcRangeMax, "2.10", 1.75, 2.1, "1.75", "2.10", 1001,
     u"Range Value Max - Min  Must >= 0.35", 0, nullptr},
    // Not re-checked from the other side: the minimum stays below zero.
    {"MaxInGateOneLeavesMinNegative", 0.8, 1.0, kIdcRangeMax, "1.0", -0.35, 1.0, "-0.35", "1.0", 12,
     u"Range Min Value Must <= 0.00", 0, nullptr},
};

void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class ParamPageRangeTest : public ParamPageTest, public testing::WithParamInterface<RangeCase> {};

TEST_P(ParamPageRangeTest, CorrectsTheWindowWithItsTips) {
    const RangeCase& c = GetParam();
    record.DetectRangeMin = c.startMin;
    record.DetectRangeMax = c.startMax;
    MakePage();
    TypeInto(c.editId, c.typed);
    EXPECT_DOUBLE_EQ(record.DetectRangeMin, c.endMin);
    EXPECT_DOUBLE_EQ(record.DetectRangeMax, c.endMax);
    EXPECT_EQ(TextOf(kIdcRangeMin), QString::fromUtf8(c.minText));
    EXPECT_EQ(TextOf(kIdcRangeMax), QString::fromUtf8(c.maxText));
    const struct {
        int edit;
        int id;
        const char16_t* text;
    } tips[] = {{kIdcRangeMin, c.minTipId, c.minTip}, {kIdcRangeMax, c.maxTipId, c.maxTip}};
    for (const auto& tip : tips) {
        SCOPED_TRACE(tip.edit);
        CXEdit* edit = Edit(tip.edit);
        const int live = edit->Balloon() ? int(edit->Balloon()->Model().LiveMessages().size()) : 0;
        if (tip.id == 0) {
            EXPECT_EQ(live, 0);
            continue;
        }
        EXPECT_EQ(live, 1) << "a later tip with the same id replaces the earlier one";
        const BalloonMessage* m = Tip(tip.edit, tip.id);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->text, std::u16string(tip.text));
        EXPECT_EQ(m->title, std::u16string(u"Data Invalid"));
        EXPECT_EQ(m->icon, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ParamPageRangeTest, testing::ValuesIn(kRangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

class ParamPageControlsTest : public ParamPageTest {};

TEST_F(ParamPageControlsTest, DefaultsShowWithoutTrailingZeros) {
    MakePage();
    EXPECT_EQ(TextOf(kIdcRangeMin), QStringLiteral("0"));
    EXPECT_EQ(TextOf(kIdcRangeMax), QStringLiteral("6.3"));
    EXPECT_EQ(TextOf(kIdcAbsenceDelay), QStringLiteral("20"));
    EXPECT_EQ(TextOf(kIdcFirstTriggerThreshold), QStringLiteral("48"));
    EXPECT_EQ(TextOf(kIdcFirstHoldThreshold + 15), QStringLiteral("33"));
    EXPECT_EQ(ListEntries(kIdcRangeReportFreq).size(), 8u);
    EXPECT_EQ(TextOf(kIdcRangeReportFreq), QStringLiteral("1.0"));
    EXPECT_EQ(TextOf(kIdcStateReportFreq), QStringLiteral("1.0"));
    EXPECT_EQ(IsDlgButtonChecked(page.get(), kIdcResponseFast), 1);
}

struct FrequencyCase {
    const char* name;
    const char* chosen;  // typed into the range report list
    double stateBefore;
    std::vector<const char*> offered;
    const char* stateShown;
    double stateAfter;
};

const FrequencyCase kFrequencyCases[] = {
    {"Four", "4", 5.0, {"4.0", "8.0"}, "4.0", 4.0},
    {"ThreeEquallyNearFirstWins", "3", 4.5, {"3.0", "6.0"}, "3.0", 3.0},
    {"TwoEquallyNearFirstWins", "2", 7.0, {"2.0", "4.0", "6.0", "8.0"}, "6.0", 6.0},
    {"Eight", "8", 1.0, {"8.0"}, "8.0", 8.0},
    {"OneOffersAll",
     "1",
     5.0,
     {"1.0", "2.0", "3.0", "4.0", "5.0", "6.0", "7.0", "8.0"},
     "5.0",
     5.0},
};

void PrintTo(const FrequencyCase& c, std::ostream* os) {
    *os << c.name;
}

class ParamPageFrequencyTest : public ParamPageTest,
                               public testing::WithParamInterface<FrequencyCase> {};

TEST_P(ParamPageFrequencyTest, RangeChoiceRebuildsTheStateList) {
    const FrequencyCase& c = GetParam();
    record.RangeReportFreq = 5.0;  // so that every choice is a change
    MakePage();
    record.StateReportFreq = c.stateBefore;
    QTest::keyClicks(List(kIdcRangeReportFreq), c.chosen);
    EXPECT_EQ(record.RangeReportFreq,
              ParseLeadingDecimal(QString::fromUtf8(c.chosen).toStdU16String()));
    std::vector<QString> expected;
    for (const char* text : c.offered) expected.push_back(QString::fromUtf8(text));
    EXPECT_EQ(ListEntries(kIdcStateReportFreq), expected);
    EXPECT_EQ(TextOf(kIdcStateReportFreq), QString::fromUtf8(c.stateShown));
    EXPECT_EQ(record.StateReportFreq, c.stateAfter);
    // The state list's own choice goes into the record at once.
    QTest::keyClick(List(kIdcStateReportFreq), Qt::Key_Up);
    EXPECT_EQ(record.StateReportFreq,
              ParseLeadingDecimal(TextOf(kIdcStateReportFreq).toStdU16String()));
}

INSTANTIATE_TEST_SUITE_P(Lists, ParamPageFrequencyTest, testing::ValuesIn(kFrequencyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ParamPageControlsTest, ResponseSpeedShowsFastOnlyNearTwo) {
    const struct {
        double value;
        int checked;
    } cases[] = {{2.0, kIdcResponseFast},   {1.0, kIdcResponseNormal}, {1.95, kIdcResponseFast},
                 {2.09, kIdcResponseFast},  {2.1, kIdcResponseNormal}, {1.85, kIdcResponseNormal},
                 {0.5, kIdcResponseNormal}, {3.0, kIdcResponseNormal}};
    MakePage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        record.ResponseFreq = c.value;
        page->RefreshControls();
        EXPECT_EQ(GetCheckedRadioButton(page.get(), kIdcResponseNormal, kIdcResponseFast),
                  c.checked);
    }
}

TEST_F(ParamPageControlsTest, SaveWithoutWriteStoresTheOldThresholds) {
    MakePage();
    TypeInto(kIdcFirstTriggerThreshold, "60");
    TypeInto(kIdcAbsenceDelay, "30");
    Click(kIdcParamSave);
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Succeed saving parameters", "Note", kMbIconInformation);
    EXPECT_EQ(SavedAttribute("Gate0TriggerThreshold"), "48");
    EXPECT_EQ(SavedAttribute("ObjectDisappearReportTime"), "20");
    EXPECT_EQ(TextOf(kIdcFirstTriggerThreshold), QStringLiteral("60"));
    // The range fields follow their edits when left.
    TypeInto(kIdcRangeMax, "4.2");
    Click(kIdcParamSave);
    EXPECT_EQ(SavedAttribute("DetectRangeMax"), "4.20");
}

TEST_F(ParamPageControlsTest, TheRecordIsLoadedAtStartAndSavedWhenThePageGoes) {
    static const char kSettings[] =
        "<AppConfig><ParamSetting DetectRangeMax=\"3.50\" Gate3HoldThreshold=\"41\"/></AppConfig>";
    MakePage();
    page.reset();
    config.LoadFromMemory(kSettings, sizeof kSettings - 1);
    page = std::make_unique<CParamSettingDlg>(nullptr, UiLanguage::English);
    page->SetConfigDocument(&config);
    page->SetParamRecord(&record);
    page->InitPage();
    EXPECT_EQ(TextOf(kIdcRangeMax), QStringLiteral("3.5"));
    EXPECT_EQ(TextOf(kIdcFirstHoldThreshold + 3), QStringLiteral("41"));
    record.HoldThreshold[3] = 44;
    page.reset();
    EXPECT_EQ(SavedAttribute("Gate3HoldThreshold"), "44");
    EXPECT_EQ(SavedAttribute("Gate15TriggerThreshold"), "33");
    EXPECT_TRUE(boxes.requests.empty()) << "the save at the end is silent";
}

TEST_F(ParamPageControlsTest, WithoutAConnectedDeviceEverySequenceSaysSo) {
    MakePage();
    record.DetectRangeMax = 4.2;
    record.TriggerThreshold[0] = 70;
    page->RefreshControls();
    for (int button : {kIdcParamRead, kIdcParamWrite, kIdcParamReset}) {
        SCOPED_TRACE(button);
        boxes.requests.clear();
        Click(button);
        ASSERT_TRUE(WaitForSequence());
        ASSERT_EQ(boxes.requests.size(), 1u);
        ExpectMessage(0, "Device Not Connected", "Error", kMbIconError);
    }
    // Reset has replaced the record and the controls with the defaults all the same.
    EXPECT_EQ(record.DetectRangeMax, kDefaultDetectRangeMax);
    EXPECT_EQ(record.TriggerThreshold[0], kDefaultTriggerThreshold[0]);
    EXPECT_EQ(TextOf(kIdcFirstTriggerThreshold), QStringLiteral("48"));
}

TEST_F(ParamPageControlsTest, EnterAndEscapeEndNothing) {
    QDialog host;
    MakePage();
    page->setParent(&host);
    host.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return host.isVisible(); }));
    QTest::keyClick(page.get(), Qt::Key_Escape);
    QTest::keyClick(page.get(), Qt::Key_Return);
    EXPECT_TRUE(host.isVisible());
    page->setParent(nullptr);
}

}  // namespace
