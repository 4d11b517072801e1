#include "resources/dialog_templates.h"

#include <array>

namespace {

// The dialog font of every template: the platform's Chinese sans-serif face.
constexpr const char* kDialogFont = "黑体";
constexpr int kDialogFontPoints = 9;

constexpr uint32_t kEditStyle = kStyleTabStop | kStyleAutoHScroll | kStyleBorder;

// A control whose rectangle is the same in both templates.
constexpr DialogControl Same(int id, ControlKind kind, DluRect rect, const char* english,
                             const char* chinese, uint32_t style = 0) {
    return DialogControl{id, kind, rect, rect, english, chinese, style};
}

// Tables of controls: one control a line where it fits.
// clang-format off

// Main window.
constexpr DialogControl kMainWindowControls[] = {
    Same(1187, ControlKind::PushLikeRadio, {5, 4, 68, 18}, "View/Set Param.", "参数查看/设置",
         kStyleGroup | kStyleTabStop),
    Same(1188, ControlKind::PushLikeRadio, {5, 31, 68, 18}, "Target Info.", "目标信息"),
    Same(1189, ControlKind::PushLikeRadio, {5, 57, 68, 18}, "Update FW", "更新固件"),
    {kNoControlId, ControlKind::Label, {2, 140, 33, 8}, {2, 140, 28, 8}, "Port No.", "串口号", 0},
    {1101, ControlKind::DropList, {38, 138, 39, 30}, {34, 138, 39, 30}, "", "",
     kStyleVScroll | kStyleTabStop},
    {kNoControlId, ControlKind::Label, {2, 156, 33, 8}, {2, 156, 28, 8}, "BaudRate", "波特率", 0},
    {1102, ControlKind::Edit, {38, 154, 39, 14}, {34, 154, 39, 14}, "", "", kEditStyle},
    Same(1100, ControlKind::PushButton, {2, 171, 32, 14}, "Refresh", "刷新", kStyleTabStop),
    {1103, ControlKind::DefPushButton, {41, 171, 37, 14}, {37, 171, 37, 14}, "Connect",
     "连接设备", kStyleTabStop},
    Same(1104, ControlKind::Label, {2, 190, 71, 21}, "Version：Unknown", "版本号：Unknown",
         kStyleHidden),
    Same(1200, ControlKind::Label, {82, 2, 340, 216}, "子窗口", "子窗口", kStyleHidden),
};

// Target information page.
constexpr DialogControl kTargetPageControls[] = {
    Same(3001, ControlKind::Label, {2, 2, 41, 35}, "指示灯", "指示灯"),
    Same(3002, ControlKind::Label, {48, 2, 199, 35}, "目标距离: 0.00米", "目标距离: 0.00米"),
    Same(3004, ControlKind::PushButton, {252, 2, 40, 35}, "Replay", "回放", kStyleTabStop),
    Same(3003, ControlKind::PushButton, {297, 2, 40, 35}, "Start", "开始", kStyleTabStop),
    Same(3011, ControlKind::Label, {2, 38, 335, 78}, "能量波形", "能量波形", kStyleNotify),
    Same(3010, ControlKind::Label, {2, 117, 335, 78}, "时间VS距离", "时间VS距离", kStyleNotify),
    Same(3030, ControlKind::CheckBox, {2, 199, 46, 10}, "Save Data", "保存数据", kStyleTabStop),
    {3031, ControlKind::Edit, {55, 197, 238, 14}, {55, 197, 240, 14}, "", "", kEditStyle},
    {3032, ControlKind::PushButton, {296, 197, 41, 14}, {299, 197, 38, 14}, "Browse...",
     "选择路径", kStyleTabStop},
};

// clang-format on

// Parameter page: six fields in two columns, two groups of sixteen gate thresholds (two rows of
// eight, each edit after its gate number), five buttons along the bottom.
constexpr int kGates = 16;
constexpr int kGatesPerRow = 8;
constexpr int kGateColumnPitch = 40;
constexpr int kGateRowPitch = 18;
constexpr const char* kGateNames[kGates] = {"00", "01", "02", "03", "04", "05", "06", "07",
                                            "08", "09", "10", "11", "12", "13", "14", "15"};
constexpr int kParamFixedControls = 13 + 5;  // fields with their labels, buttons
constexpr int kParamControlCount = kParamFixedControls + 2 * (1 + 2 * kGates);

// Gate number label and edit of one gate of a threshold group whose frame starts at `top`.
constexpr void AddGate(DialogControl* out, int& n, int firstId, int gate, int top) {
    const int x = 10 + kGateColumnPitch * (gate % kGatesPerRow);
    const int y = top + 14 + kGateRowPitch * (gate / kGatesPerRow);
    // The number stands a unit clear of its edit.
    out[n++] = Same(kNoControlId, ControlKind::Label, {x - 1, y + 2, 10, 8}, kGateNames[gate],
                    kGateNames[gate]);
    out[n++] = Same(firstId + gate, ControlKind::Edit, {x + 11, y, 26, 14}, "", "", kEditStyle);
}

struct ParamPageControls {
    std::array<DialogControl, kParamControlCount> controls;
    int filled;
};

constexpr ParamPageControls MakeParamPageControls() {
    std::array<DialogControl, kParamControlCount> c{};
    int n = 0;
    using K = ControlKind;
    c[n++] = Same(kNoControlId, K::Label, {6, 10, 86, 8}, "Min. Range (m):", "最小检测距离(米):");
    c[n++] = Same(2010, K::Edit, {94, 8, 56, 14}, "", "", kEditStyle);
    c[n++] = Same(kNoControlId, K::Label, {168, 10, 92, 8}, "Max. Range (m):", "最大检测距离(米):");
    c[n++] = Same(2011, K::Edit, {262, 8, 56, 14}, "", "", kEditStyle);
    c[n++] =
        Same(kNoControlId, K::Label, {6, 28, 86, 8}, "State Rpt. Freq.(Hz):", "状态上报频率(Hz):");
    c[n++] = Same(2012, K::DropList, {94, 26, 56, 100}, "", "", kStyleVScroll | kStyleTabStop);
    c[n++] = Same(kNoControlId, K::Label, {168, 28, 92, 8},
                  "Range Rpt. Freq.(Hz):", "距离上报频率(Hz):");
    c[n++] = Same(2013, K::DropList, {262, 26, 56, 100}, "", "", kStyleVScroll | kStyleTabStop);
    c[n++] = Same(kNoControlId, K::Label, {6, 46, 86, 8}, "Response Speed:", "响应速度:");
    // The radios end a few units before the label beside them: the indicator takes more room
    // than the template's units allow for.
    c[n++] = DialogControl{2014, K::RadioButton, {92, 45, 42, 10}, {94, 45, 34, 10}, "Normal",
                           "正常", kStyleGroup | kStyleTabStop};
    c[n++] = DialogControl{2015, K::RadioButton, {134, 45, 30, 10}, {130, 45, 32, 10}, "Fast",
                           "快速", 0};
    c[n++] = Same(kNoControlId, K::Label, {168, 46, 92, 8},
                  "Absence Report Delay(s):", "无人上报时间(秒):");
    c[n++] = Same(2016, K::Edit, {262, 44, 56, 14}, "", "", kEditStyle);
    constexpr int kTriggerTop = 64;
    constexpr int kHoldTop = 122;
    c[n++] = Same(kNoControlId, K::GroupBox, {4, kTriggerTop, 332, 54},
                  "Trigger Threshold(10~95 dB)", "触发门限（10~95dB）");
    for (int gate = 0; gate < kGates; ++gate) AddGate(c.data(), n, 2020, gate, kTriggerTop);
    c[n++] = Same(kNoControlId, K::GroupBox, {4, kHoldTop, 332, 54}, "Hold Threshold(10~95 dB)",
                  "保持门限（10~95dB）");
    for (int gate = 0; gate < kGates; ++gate) AddGate(c.data(), n, 2040, gate, kHoldTop);
    c[n++] = Same(2002, K::PushButton, {8, 188, 60, 16}, "Read Config.", "读取传感器设置",
                  kStyleTabStop);
    c[n++] = Same(2003, K::PushButton, {74, 188, 60, 16}, "Write Config.", "写入传感器设置",
                  kStyleTabStop);
    c[n++] = Same(2004, K::PushButton, {140, 188, 60, 16}, "Gen. Threshold", "生成自动门限",
                  kStyleTabStop);
    c[n++] = Same(2005, K::PushButton, {206, 188, 60, 16}, "Save Config.", "保存当前配置",
                  kStyleTabStop);
    c[n++] = Same(2001, K::PushButton, {272, 188, 60, 16}, "Reset", "重置", kStyleTabStop);
    return ParamPageControls{c, n};
}

constexpr ParamPageControls kParamPage = MakeParamPageControls();
static_assert(kParamPage.filled == kParamControlCount, "every parameter page control is set");
constexpr auto& kParamPageControls = kParamPage.controls;

// Threshold generation dialog.
constexpr DialogControl kThresholdGenControls[] = {
    Same(kNoControlId, ControlKind::Label, {8, 10, 136, 8},
         "Trigger Threshold Coefficient(dB):", "触发门限生成系数（dB）："),
    Same(3501, ControlKind::Edit, {148, 8, 40, 14}, "", "", kEditStyle),
    Same(kNoControlId, ControlKind::Label, {8, 28, 136, 8},
         "Hold Threshold Coefficient(dB):", "保持门限生成系数（dB）："),
    Same(3502, ControlKind::Edit, {148, 26, 40, 14}, "", "", kEditStyle),
    Same(3503, ControlKind::Label, {8, 46, 136, 8}, "Scan Time(Second):", "扫描时间（秒）：",
         kStyleHidden),
    Same(3504, ControlKind::Edit, {148, 44, 40, 14}, "", "", kEditStyle | kStyleHidden),
    Same(3505, ControlKind::RadioButton, {8, 62, 104, 10}, "Complicated Env(30sec)",
         "复杂环境(30秒)", kStyleGroup | kStyleTabStop),
    Same(3506, ControlKind::RadioButton, {116, 62, 108, 10}, "Pure Env(120sec)", "纯净环境(120秒)"),
    Same(3507, ControlKind::ProgressBar, {8, 78, 216, 12}, "", "", kStyleBorder),
    Same(3511, ControlKind::Label, {8, 94, 216, 18},
         "Ensure NO ONE is in the detection area during Threshold Generation!",
         "生成门限期间请保持检测区域内无人！"),
    Same(3512, ControlKind::Label, {8, 116, 150, 10}, "状态信息", "状态信息"),
    Same(3510, ControlKind::DefPushButton, {174, 114, 50, 14}, "Start", "开始", kStyleTabStop),
};

constexpr DialogTemplate kTemplates[] = {
    {kMainWindowTemplate, "Orbo_Zorvan_Tool", "Orbo_Zorvan_Tool", 426, 220, kDialogFont,
     kDialogFontPoints, kDialogResizable, kMainWindowControls},
    {kParamPageTemplate, "", "", 340, 216, kDialogFont, kDialogFontPoints, kDialogChild,
     kParamPageControls},
    {kTargetPageTemplate, "", "", 340, 216, kDialogFont, kDialogFontPoints, kDialogChild,
     kTargetPageControls},
    {kThresholdGenTemplate, "Threshold Generation", "门限生成", 232, 136, kDialogFont,
     kDialogFontPoints, 0, kThresholdGenControls},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& dialog : kTemplates) {
        if (dialog.id == id) return &dialog;
    }
    return nullptr;
}

std::span<const DialogTemplate> AllDialogTemplates() {
    return kTemplates;
}

const DialogControl* FindTemplateControl(const DialogTemplate& dialog, int id) {
    if (id == kNoControlId) return nullptr;
    for (const DialogControl& control : dialog.controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

const DluRect& ControlRect(const DialogControl& control, UiLanguage language) {
    return language == UiLanguage::Chinese ? control.chinese : control.english;
}

const char* ControlCaption(const DialogControl& control, UiLanguage language) {
    return language == UiLanguage::Chinese ? control.chineseCaption : control.englishCaption;
}

const char* DialogTitle(const DialogTemplate& dialog, UiLanguage language) {
    return language == UiLanguage::Chinese ? dialog.chineseTitle : dialog.englishTitle;
}
