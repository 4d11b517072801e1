// The dialog templates of the main window, the parameter page, the target page and the threshold
// generation dialog, as data: every control with its id, kind, rectangle in dialog units,
// English and Chinese caption and style flags. The window layer builds dialogs from them
// (platform/dialog_builder.h). Toolkit-free and constant; any thread.
#pragma once

#include <cstdint>
#include <span>

#include "resources/string_table.h"

// Template ids.
constexpr int kMainWindowTemplate = 1000;
constexpr int kParamPageTemplate = 2000;
constexpr int kTargetPageTemplate = 3000;
constexpr int kThresholdGenTemplate = 3500;

// Control kinds, after the platform's control classes and button styles.
enum class ControlKind {
    Label,          // static text (also placeholders and plot hosts)
    Edit,           // single-line edit
    PushButton,     // push button
    DefPushButton,  // default push button
    CheckBox,       // automatic check box
    RadioButton,    // automatic radio button
    PushLikeRadio,  // automatic radio button drawn as a push button
    DropList,       // drop-down list (no editing)
    GroupBox,       // frame with a caption
    ProgressBar,    // progress bar
};

// Style flags of a control.
constexpr uint32_t kStyleHidden = 1u << 0;       // not visible at start
constexpr uint32_t kStyleDisabled = 1u << 1;     // disabled at start
constexpr uint32_t kStyleGroup = 1u << 2;        // starts a group (radio buttons)
constexpr uint32_t kStyleTabStop = 1u << 3;      // reached with Tab
constexpr uint32_t kStyleVScroll = 1u << 4;      // vertical scroll bar (lists)
constexpr uint32_t kStyleCenter = 1u << 5;       // text centred (labels)
constexpr uint32_t kStyleRight = 1u << 6;        // text right-aligned (labels)
constexpr uint32_t kStyleNotify = 1u << 7;       // a label that takes mouse input (plot hosts)
constexpr uint32_t kStyleAutoHScroll = 1u << 8;  // edit text scrolls sideways
constexpr uint32_t kStyleBorder = 1u << 9;       // thin frame

// Dialog style flags.
constexpr uint32_t kDialogChild = 1u << 0;      // a page inside another window, no caption
constexpr uint32_t kDialogResizable = 1u << 1;  // resizable frame, minimise and maximise boxes

// A rectangle in dialog units: left, top, width, height.
struct DluRect {
    int x;
    int y;
    int cx;
    int cy;
};

// The id of controls that have none (labels, frames).
constexpr int kNoControlId = -1;

struct DialogControl {
    int id;
    ControlKind kind;
    DluRect english;             // rectangle in the English template
    DluRect chinese;             // rectangle in the Chinese template
    const char* englishCaption;  // UTF-8; empty for none
    const char* chineseCaption;
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* englishTitle;  // UTF-8; empty for none
    const char* chineseTitle;
    int cx;  // client size in dialog units
    int cy;
    const char* fontFace;  // UTF-8 face name as the template gives it
    int fontPoints;
    uint32_t style;
    std::span<const DialogControl> controls;  // in creation (and tab) order
};

// The template with that id, or null.
const DialogTemplate* FindDialogTemplate(int id);

// Every template, in id order.
std::span<const DialogTemplate> AllDialogTemplates();

// The control of a template with that id, or null (kNoControlId is never found).
const DialogControl* FindTemplateControl(const DialogTemplate& dialog, int id);

// The control's rectangle and caption, and the dialog's title, in a language.
const DluRect& ControlRect(const DialogControl& control, UiLanguage language);
const char* ControlCaption(const DialogControl& control, UiLanguage language);
const char* DialogTitle(const DialogTemplate& dialog, UiLanguage language);
