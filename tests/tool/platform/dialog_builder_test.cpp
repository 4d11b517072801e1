// ctest-labels: gui
#include "platform/dialog_builder.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "platform/dialog_items.h"
#include "platform/font_substitution.h"
#include "support/qt_test_app.h"

namespace {

class DialogBuilderTest : public GuiTest {};

TEST_F(DialogBuilderTest, DialogUnitsRoundEachCoordinateAsMulDiv) {
    struct Case {
        DluRect rect;
        DialogBaseUnits units;
        QRect expected;
    };
    const Case cases[] = {
        {{5, 4, 68, 18}, {6, 13}, QRect(8, 7, 102, 29)},     // 7.5 -> 8, 6.5 -> 7, 29.25 -> 29
        {{2, 140, 33, 8}, {7, 16}, QRect(4, 280, 58, 16)},   // 3.5 -> 4, 57.75 -> 58
        {{0, 0, 426, 220}, {6, 12}, QRect(0, 0, 639, 330)},  // 638.5 -> 639
        {{1, 1, 1, 1}, {5, 11}, QRect(1, 1, 1, 1)},          // 1.25 -> 1, 1.375 -> 1
        {{3, 3, 3, 3}, {2, 4}, QRect(2, 2, 2, 2)},           // 1.5 -> 2
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapDialogRect(c.rect, c.units), c.expected)
            << c.rect.x << "," << c.rect.y << "," << c.rect.cx << "," << c.rect.cy;
    }
}

TEST_F(DialogBuilderTest, BaseUnitsAreTheRoundedAverageLetterWidthAndTheFontHeight) {
    const QFont font = DialogFont(*FindDialogTemplate(kMainWindowTemplate));
    const DialogBaseUnits units = GetDialogBaseUnits(font);
    const QFontMetricsF metrics(font);
    double letters = 0;
    for (char c = 'A'; c <= 'Z'; ++c) letters += metrics.horizontalAdvance(QChar(c));
    for (char c = 'a'; c <= 'z'; ++c) letters += metrics.horizontalAdvance(QChar(c));
    EXPECT_NEAR(units.cx, letters / 52.0, 1.0);
    EXPECT_GT(units.cx, 0);
    EXPECT_EQ(units.cy, QFontMetrics(font).height());
}

TEST_F(DialogBuilderTest, TheChineseFaceIsTheInstalledCjkFont) {
    const QString face = InstallFontSubstitutions();
    ASSERT_FALSE(face.isEmpty()) << "fonts-wqy-zenhei (scripts/install-deps) is not installed";
    EXPECT_EQ(QFontInfo(QFont(QString::fromUtf8(kTemplateChineseFace))).family(), face);
    QWidget page;
    ASSERT_TRUE(BuildDialogFromTemplate(&page, kTargetPageTemplate, UiLanguage::Chinese));
    EXPECT_EQ(QFontInfo(page.font()).family(), face);
    EXPECT_EQ(page.font().pointSize(), 9);
}

// Every control of every template, in both languages, sits at the rectangle its dialog units
// give, carries its id and caption, and starts hidden exactly when its template says so.
TEST_F(DialogBuilderTest, EveryControlIsAtTheRectangleItsDialogUnitsGive) {
    for (const DialogTemplate& layout : AllDialogTemplates()) {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
            SCOPED_TRACE(::testing::Message()
                         << layout.id
                         << (language == UiLanguage::Chinese ? " Chinese" : " English"));
            QDialog dialog;
            ASSERT_TRUE(BuildDialogFromTemplate(&dialog, layout.id, language));
            const DialogBaseUnits units = GetDialogBaseUnits(dialog.font());
            EXPECT_EQ(dialog.size(), MapDialogRect({0, 0, layout.cx, layout.cy}, units).size());
            EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(DialogTitle(layout, language)));
            const QList<QWidget*> children =
                dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            ASSERT_EQ(children.size(), static_cast<qsizetype>(layout.controls.size()));
            for (size_t i = 0; i < layout.controls.size(); ++i) {
                const DialogControl& control = layout.controls[i];
                QWidget* widget = children[static_cast<qsizetype>(i)];
                SCOPED_TRACE(control.id);
                EXPECT_EQ(GetControlId(widget), control.id);
                const QRect expected = MapDialogRect(ControlRect(control, language), units);
                if (control.kind == ControlKind::DropList) {
                    EXPECT_EQ(widget->pos(), expected.topLeft());
                    EXPECT_EQ(widget->width(), expected.width());
                    EXPECT_LE(widget->height(), expected.height());
                } else {
                    EXPECT_EQ(widget->geometry(), expected);
                }
                EXPECT_EQ(widget->isHidden(), (control.style & kStyleHidden) != 0);
                const QString caption = QString::fromUtf8(ControlCaption(control, language));
                if (control.kind != ControlKind::DropList &&
                    control.kind != ControlKind::ProgressBar) {
                    EXPECT_EQ(GetControlText(widget), caption);
                }
            }
        }
    }
}

TEST_F(DialogBuilderTest, CaptionsFollowTheLanguage) {
    struct Case {
        int dialog;
        int id;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {1000, 1187, "View/Set Param.", "参数查看/设置"},
        {1000, 1103, "Connect", "连接设备"},
        {2000, 2004, "Gen. Threshold", "生成自动门限"},
        {2000, 2014, "Normal", "正常"},
        {3000, 3032, "Browse...", "选择路径"},
        {3500, 3506, "Pure Env(120sec)", "纯净环境(120秒)"},
    };
    for (const Case& c : cases) {
        QWidget english;
        QWidget chinese;
        BuildDialogFromTemplate(&english, c.dialog, UiLanguage::English);
        BuildDialogFromTemplate(&chinese, c.dialog, UiLanguage::Chinese);
        EXPECT_EQ(GetDlgItemText(&english, c.id), QString::fromUtf8(c.english));
        EXPECT_EQ(GetDlgItemText(&chinese, c.id), QString::fromUtf8(c.chinese));
    }
}

TEST_F(DialogBuilderTest, RadioButtonsOfAGroupExcludeEachOther) {
    QDialog main;
    BuildDialogFromTemplate(&main, kMainWindowTemplate, UiLanguage::English);
    main.show();
    CheckRadioButton(&main, 1187, 1189, 1187);
    QTest::mouseClick(static_cast<QAbstractButton*>(GetDlgItem(&main, 1188)), Qt::LeftButton);
    EXPECT_EQ(GetCheckedRadioButton(&main, 1187, 1189), 1188);
    EXPECT_EQ(IsDlgButtonChecked(&main, 1187), 0);
    // A push-like radio button stays a push button to look at.
    EXPECT_NE(qobject_cast<QPushButton*>(GetDlgItem(&main, 1189)), nullptr);
    CheckDlgButton(&main, 1188, 0);
    EXPECT_EQ(GetCheckedRadioButton(&main, 1187, 1189), 0);

    QDialog generation;
    BuildDialogFromTemplate(&generation, kThresholdGenTemplate, UiLanguage::English);
    generation.show();
    QTest::mouseClick(static_cast<QAbstractButton*>(GetDlgItem(&generation, 3505)), Qt::LeftButton);
    QTest::mouseClick(static_cast<QAbstractButton*>(GetDlgItem(&generation, 3506)), Qt::LeftButton);
    EXPECT_EQ(GetCheckedRadioButton(&generation, 3505, 3506), 3506);
}

TEST_F(DialogBuilderTest, MissingTemplateBuildsNothing) {
    QWidget dialog;
    EXPECT_FALSE(BuildDialogFromTemplate(&dialog, 4242, UiLanguage::English));
    EXPECT_TRUE(dialog.findChildren<QWidget*>().isEmpty());
    EXPECT_FALSE(BuildDialogFromTemplate(nullptr, kMainWindowTemplate, UiLanguage::English));
}

TEST_F(DialogBuilderTest, ResizableMainWindowFixedGenerationDialog) {
    QDialog main;
    BuildDialogFromTemplate(&main, kMainWindowTemplate, UiLanguage::English);
    EXPECT_NE(main.minimumSize(), main.maximumSize());
    EXPECT_TRUE(main.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QDialog generation;
    BuildDialogFromTemplate(&generation, kThresholdGenTemplate, UiLanguage::English);
    EXPECT_EQ(generation.minimumSize(), generation.maximumSize());
}

TEST_F(DialogBuilderTest, ReplacedControlTakesThePlaceAndIdOfTheOld) {
    QWidget page;
    BuildDialogFromTemplate(&page, kTargetPageTemplate, UiLanguage::English);
    const QRect where = GetDlgItem(&page, 3011)->geometry();
    auto* plot = new QLabel;
    EXPECT_TRUE(ReplaceDlgItem(&page, 3011, plot));
    EXPECT_EQ(GetDlgItem(&page, 3011), plot);
    EXPECT_EQ(plot->parentWidget(), &page);
    EXPECT_EQ(plot->geometry(), where);
    EXPECT_FALSE(plot->isHidden());
    EXPECT_FALSE(ReplaceDlgItem(&page, 4242, new QLabel));
}

}  // namespace
