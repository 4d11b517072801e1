// ctest-labels: gui
// Pictures of the main window and of the dialogs built from templates, in both languages, written
// into the build tree (build/screenshots/) for people to look at; the test checks that each was
// drawn (right size, not blank) and written.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QSet>

#include <cstdlib>
#include <memory>

#include "app/orbo_zorvan_tool_app.h"
#include "platform/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"
#include "support/qt_test_app.h"
#include "support/scoped_env.h"
#include "support/screenshot_folder.h"
#include "support/temp_dir.h"

namespace {

// A drawn window has text and frames: far more than a handful of colours.
constexpr int kMinColours = 8;

int CountColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    }
    return static_cast<int>(colours.size());
}

void Shoot(QWidget& window, const QString& name) {
    window.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.isVisible(); }));
    ProcessPendingEvents();
    const QImage image = window.grab().toImage();
    EXPECT_EQ(image.size(), window.size() * window.devicePixelRatio());
    EXPECT_GE(CountColours(image), kMinColours) << name.toStdString();
    const QString path = QDir(ScreenshotFolder()).filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
    window.hide();
}

struct Language {
    UiLanguage language;
    const char* suffix;
};
const Language kLanguages[] = {{UiLanguage::English, "en"}, {UiLanguage::Chinese, "zh"}};

class ScreenshotTest : public GuiTest {
protected:
    // The main window keeps its log and settings here.
    TempDir m_home;
    ScopedEnv m_homeEnv{"ORBO_HOME", m_home.Path().string()};
};

TEST_F(ScreenshotTest, MainWindowInBothLanguages) {
    for (const Language& l : kLanguages) {
        SetSelectedLanguage(l.language);
        std::unique_ptr<QDialog> window = CreateMainWindow();
        Shoot(*window, QStringLiteral("main_window_%1").arg(QLatin1String(l.suffix)));
    }
}

TEST_F(ScreenshotTest, TemplateDialogsInBothLanguages) {
    for (const Language& l : kLanguages) {
        for (int id : {kParamPageTemplate, kTargetPageTemplate, kThresholdGenTemplate}) {
            QDialog dialog;
            ASSERT_TRUE(BuildDialogFromTemplate(&dialog, id, l.language));
            Shoot(dialog, QStringLiteral("dialog_%1_%2").arg(id).arg(QLatin1String(l.suffix)));
        }
    }
}

}  // namespace
