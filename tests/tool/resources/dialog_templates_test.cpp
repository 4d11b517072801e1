// ctest-labels: unit
#include "resources/dialog_templates.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

bool SameRect(const DluRect& a, const DluRect& b) {
    return a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}

std::string Show(const DluRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.cx) + "," +
           std::to_string(r.cy);
}

bool NeedsCaption(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton ||
           kind == ControlKind::CheckBox || kind == ControlKind::RadioButton ||
           kind == ControlKind::PushLikeRadio || kind == ControlKind::GroupBox;
}

TEST(DialogTemplates, EveryControlHasAUniqueIdFitsItsDialogAndHasBothCaptions) {
    ASSERT_EQ(AllDialogTemplates().size(), 4u);
    for (const DialogTemplate& dialog : AllDialogTemplates()) {
        SCOPED_TRACE(dialog.id);
        EXPECT_EQ(FindDialogTemplate(dialog.id), &dialog);
        EXPECT_STREQ(dialog.fontFace, "黑体");
        EXPECT_EQ(dialog.fontPoints, 9);
        std::set<int> ids;
        for (const DialogControl& control : dialog.controls) {
            SCOPED_TRACE(control.id);
            if (control.id != kNoControlId) {
                EXPECT_TRUE(ids.insert(control.id).second);
            }
            EXPECT_NE(control.id, 0);
            for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
                const DluRect& r = ControlRect(control, language);
                EXPECT_GE(r.x, 0);
                EXPECT_GE(r.y, 0);
                EXPECT_GT(r.cx, 0);
                EXPECT_GT(r.cy, 0);
                EXPECT_LE(r.x + r.cx, dialog.cx) << Show(r);
                EXPECT_LE(r.y + r.cy, dialog.cy) << Show(r);
                ASSERT_NE(ControlCaption(control, language), nullptr);
            }
            EXPECT_EQ(std::strlen(control.englishCaption) == 0,
                      std::strlen(control.chineseCaption) == 0);
            if (NeedsCaption(control.kind)) {
                EXPECT_GT(std::strlen(control.englishCaption), 0u);
            }
        }
    }
    EXPECT_EQ(FindDialogTemplate(1), nullptr);
}

struct Expected {
    int dialog;
    int id;
    ControlKind kind;
    DluRect english;
    DluRect chinese;
    const char* englishCaption;
    const char* chineseCaption;
};

// The controls whose rectangles are given for both templates.
// clang-format off
const Expected kGiven[] = {
    {1000, 1187, ControlKind::PushLikeRadio, {5, 4, 68, 18}, {5, 4, 68, 18}, "View/Set Param.",
     "参数查看/设置"},
    {1000, 1188, ControlKind::PushLikeRadio, {5, 31, 68, 18}, {5, 31, 68, 18}, "Target Info.",
     "目标信息"},
    {1000, 1189, ControlKind::PushLikeRadio, {5, 57, 68, 18}, {5, 57, 68, 18}, "Update FW",
     "更新固件"},
    {1000, 1101, ControlKind::DropList, {38, 138, 39, 30}, {34, 138, 39, 30}, "", ""},
    {1000, 1102, ControlKind::Edit, {38, 154, 39, 14}, {34, 154, 39, 14}, "", ""},
    {1000, 1100, ControlKind::PushButton, {2, 171, 32, 14}, {2, 171, 32, 14}, "Refresh", "刷新"},
    {1000, 1103, ControlKind::DefPushButton, {41, 171, 37, 14}, {37, 171, 37, 14}, "Connect",
     "连接设备"},
    {1000, 1104, ControlKind::Label, {2, 190, 71, 21}, {2, 190, 71, 21}, "Version：Unknown",
     "版本号：Unknown"},
    {1000, 1200, ControlKind::Label, {82, 2, 340, 216}, {82, 2, 340, 216}, "子窗口", "子窗口"},
    {3000, 3001, ControlKind::Label, {2, 2, 41, 35}, {2, 2, 41, 35}, "指示灯", "指示灯"},
    {3000, 3002, ControlKind::Label, {48, 2, 199, 35}, {48, 2, 199, 35}, "目标距离: 0.00米",
     "目标距离: 0.00米"},
    {3000, 3004, ControlKind::PushButton, {252, 2, 40, 35}, {252, 2, 40, 35}, "Replay", "回放"},
    {3000, 3003, ControlKind::PushButton, {297, 2, 40, 35}, {297, 2, 40, 35}, "Start", "开始"},
    {3000, 3011, ControlKind::Label, {2, 38, 335, 78}, {2, 38, 335, 78}, "能量波形", "能量波形"},
    {3000, 3010, ControlKind::Label, {2, 117, 335, 78}, {2, 117, 335, 78}, "时间VS距离",
     "时间VS距离"},
    {3000, 3030, ControlKind::CheckBox, {2, 199, 46, 10}, {2, 199, 46, 10}, "Save Data",
     "保存数据"},
    {3000, 3031, ControlKind::Edit, {55, 197, 238, 14}, {55, 197, 240, 14}, "", ""},
    {3000, 3032, ControlKind::PushButton, {296, 197, 41, 14}, {299, 197, 38, 14}, "Browse...",
     "选择路径"},
};

// clang-format on

TEST(DialogTemplates, GivenRectanglesAndCaptionsOfBothLanguages) {
    for (const Expected& e : kGiven) {
        SCOPED_TRACE(e.id);
        const DialogTemplate* dialog = FindDialogTemplate(e.dialog);
        ASSERT_NE(dialog, nullptr);
        const DialogControl* control = FindTemplateControl(*dialog, e.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->kind, e.kind);
        EXPECT_TRUE(SameRect(ControlRect(*control, UiLanguage::English), e.english));
        EXPECT_TRUE(SameRect(ControlRect(*control, UiLanguage::Chinese), e.chinese))
            << Show(ControlRect(*control, UiLanguage::Chinese));
        EXPECT_STREQ(ControlCaption(*control, UiLanguage::English), e.englishCaption);
        EXPECT_STREQ(ControlCaption(*control, UiLanguage::Chinese), e.chineseCaption);
    }
}

TEST(DialogTemplates, MainWindowLabelsAreNarrowerInChinese) {
    const DialogTemplate& main = *FindDialogTemplate(kMainWindowTemplate);
    EXPECT_EQ(main.cx, 426);
    EXPECT_EQ(main.cy, 220);
    EXPECT_NE(main.style & kDialogResizable, 0u);
    int labels = 0;
    for (const DialogControl& control : main.controls) {
        if (control.id != kNoControlId) continue;
        ++labels;
        EXPECT_EQ(control.english.cx, 33);
        EXPECT_EQ(control.chinese.cx, 28);
    }
    EXPECT_EQ(labels, 2);
    EXPECT_NE(FindTemplateControl(main, 1104)->style & kStyleHidden, 0u);
    EXPECT_NE(FindTemplateControl(main, 1200)->style & kStyleHidden, 0u);
}

TEST(DialogTemplates, PagesAndTheGenerationDialogHoldEveryControl) {
    struct Ids {
        int dialog;
        int first;
        int last;
        ControlKind kind;
    };
    const Ids ranges[] = {
        {2000, 2001, 2005, ControlKind::PushButton},
        {2000, 2010, 2011, ControlKind::Edit},
        {2000, 2012, 2013, ControlKind::DropList},
        {2000, 2014, 2015, ControlKind::RadioButton},
        {2000, 2016, 2016, ControlKind::Edit},
        {2000, 2020, 2035, ControlKind::Edit},
        {2000, 2040, 2055, ControlKind::Edit},
        {3500, 3501, 3502, ControlKind::Edit},
        {3500, 3504, 3504, ControlKind::Edit},
        {3500, 3505, 3506, ControlKind::RadioButton},
        {3500, 3507, 3507, ControlKind::ProgressBar},
        {3500, 3510, 3510, ControlKind::DefPushButton},
        {3500, 3511, 3512, ControlKind::Label},
        {3500, 3503, 3503, ControlKind::Label},
    };
    for (const Ids& range : ranges) {
        const DialogTemplate& dialog = *FindDialogTemplate(range.dialog);
        for (int id = range.first; id <= range.last; ++id) {
            const DialogControl* control = FindTemplateControl(dialog, id);
            ASSERT_NE(control, nullptr) << id;
            EXPECT_EQ(control->kind, range.kind) << id;
        }
    }
    const DialogTemplate& generation = *FindDialogTemplate(kThresholdGenTemplate);
    EXPECT_STREQ(DialogTitle(generation, UiLanguage::English), "Threshold Generation");
    EXPECT_STREQ(DialogTitle(generation, UiLanguage::Chinese), "门限生成");
    EXPECT_NE(FindTemplateControl(generation, 3503)->style & kStyleHidden, 0u);
    EXPECT_NE(FindTemplateControl(generation, 3504)->style & kStyleHidden, 0u);
    EXPECT_STREQ(FindTemplateControl(generation, 3511)->englishCaption,
                 "Ensure NO ONE is in the detection area during Threshold Generation!");
    // The gate edits follow their numbers "00" to "15" in reading order, eight to a row.
    const DialogTemplate& params = *FindDialogTemplate(kParamPageTemplate);
    for (int gate = 0; gate < 16; ++gate) {
        const DluRect& trigger = FindTemplateControl(params, 2020 + gate)->english;
        const DluRect& hold = FindTemplateControl(params, 2040 + gate)->english;
        EXPECT_EQ(trigger.x, hold.x);
        EXPECT_LT(trigger.y, hold.y);
        if (gate % 8 != 0) {
            EXPECT_GT(trigger.x, FindTemplateControl(params, 2020 + gate - 1)->english.x);
        }
    }
    for (const DialogControl& control : params.controls) {
        if (control.kind == ControlKind::GroupBox) {
            EXPECT_TRUE(std::strstr(control.englishCaption, "10~95") != nullptr);
        }
    }
}

}  // namespace
