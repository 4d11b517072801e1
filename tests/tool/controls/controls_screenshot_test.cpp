// ctest-labels: gui
// Writes a picture of every custom control in English and Chinese into the build tree
// (build/screenshots/controls/<control>_<language>.png), for people to look at.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>

#include "controls/balloon_wnd.h"
#include "controls/color_static.h"
#include "controls/digital_edit.h"
#include "controls/x_edit.h"
#include "tool/controls/controls_gui_support.h"

namespace {

struct LanguageTexts {
    const char* suffix;
    QString hint;
    QString staticText;
    QString unit;
    std::u16string suggestLabel;
};

LanguageTexts English() {
    return {"eng", QStringLiteral("Enter a name"), QStringLiteral("Target state\r\nMoving"),
            QStringLiteral("m"), u"Absence delay"};
}

LanguageTexts Chinese() {
    return {"chs", QStringLiteral("请输入名称"), QStringLiteral("目标状态\r\n运动"),
            QStringLiteral("米"), u"低帧频下较短的无人上报时间可能会影响检测性能"};
}

bool Save(QWidget* widget, const std::string& name) {
    const std::filesystem::path file = ScreenshotFolder() / (name + ".png");
    QImage image = widget->grab().toImage();
    return !image.isNull() && image.save(QString::fromStdString(file.string()));
}

class ControlsScreenshotTest : public ::testing::TestWithParam<LanguageTexts> {};

TEST_P(ControlsScreenshotTest, EveryControlIsPictured) {
    const LanguageTexts texts = GetParam();
    std::unique_ptr<QWidget> window = ShowActiveWindow(320, 260);
    ASSERT_NE(window, nullptr);
    QFont dialogFont(QStringLiteral("黑体"));
    dialogFont.setPointSize(10);
    window->setFont(dialogFont);

    auto* hinted = new CXEdit(window.get());
    hinted->SetHintText(texts.hint);
    auto* number = new CDigitalEdit(window.get());
    number->SetValueType(Double);
    number->setText(QStringLiteral("1.5"));
    auto* state = new CColorStatic(window.get());
    state->SetStaticStyle(nullptr, &texts.staticText, 12);
    auto* segments = new CColorStatic(window.get());
    segments->SetBkColour(kStaticStyleBackground);
    segments->AddSegment(TextSegment{QStringLiteral("3.25"), QStringLiteral("黑体"), 20, 700,
                                     RGB(255, 200, 0), Qt::AlignHCenter, 0});
    segments->AddSegment(TextSegment{texts.unit, QStringLiteral("黑体"), 10, 400,
                                     RGB(255, 255, 255), Qt::AlignHCenter, 0});
    // Laid out by hand: a layout on a top-level window asks the platform for size hints.
    hinted->setGeometry(10, 10, 300, 26);
    number->setGeometry(10, 44, 300, 26);
    state->setGeometry(10, 80, 300, 80);
    segments->setGeometry(10, 170, 300, 80);
    for (QWidget* w : {static_cast<QWidget*>(hinted), static_cast<QWidget*>(number),
                       static_cast<QWidget*>(state), static_cast<QWidget*>(segments)})
        w->show();
    number->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return number->hasFocus(); }));
    QTest::keyClick(number, 'x');  // refused: the balloon shows the input error
    number->ShowInputBalloon(kDataInvalidTitle, texts.suggestLabel + u" Suggest >= 15",
                             kBalloonIconWarning, kBalloonIdSuggestMin);
    number->ShowInputBalloon(u"Note", u"Thresholds read back", 1, 20);
    ASSERT_NE(number->Balloon(), nullptr);
    ASSERT_EQ(number->Balloon()->Model().LiveMessages().size(), 3u);
    ProcessPendingEvents();

    const std::string suffix = std::string("_") + texts.suffix;
    EXPECT_TRUE(Save(hinted, "x_edit" + suffix));
    EXPECT_TRUE(Save(number, "digital_edit" + suffix));
    EXPECT_TRUE(Save(state, "color_static" + suffix));
    EXPECT_TRUE(Save(segments, "color_static_segments" + suffix));
    EXPECT_TRUE(Save(number->Balloon(), "balloon" + suffix));
    EXPECT_TRUE(Save(window.get(), "controls" + suffix));
    for (const char* name : {"x_edit", "digital_edit", "color_static", "balloon", "controls"})
        EXPECT_TRUE(std::filesystem::exists(ScreenshotFolder() / (name + suffix + ".png")));
}

INSTANTIATE_TEST_SUITE_P(Languages, ControlsScreenshotTest, ::testing::Values(English(), Chinese()),
                         [](const auto& info) { return std::string(info.param.suffix); });

}  // namespace
