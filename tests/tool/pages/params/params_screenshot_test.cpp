// ctest-labels: gui
// Pictures of the parameter page and the threshold generation dialog in both languages, written
// into build/screenshots/params/ for people to look at; the test checks that each was drawn and
// written.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QSet>

#include <memory>
#include <string>

#include "core/message_target.h"
#include "device/radar_device_stream_link.h"
#include "platform/font_substitution.h"
#include "support/screenshot_folder.h"
#include "tool/pages/params/params_gui_support.h"

namespace {

// A drawn window has text and frames: far more than a handful of colours.
constexpr int kMinColours = 8;
constexpr int kShownProgress = 50;

void Shoot(QWidget& window, const std::string& name) {
    ProcessPendingEvents();
    const QImage image = window.grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    }
    EXPECT_GE(colours.size(), kMinColours) << name;
    QDir folder(ScreenshotFolder());
    folder.mkpath(QStringLiteral("params"));
    const QString path =
        folder.filePath(QStringLiteral("params/%1.png").arg(QString::fromStdString(name)));
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
}

struct Language {
    UiLanguage language;
    const char* suffix;
};
const Language kLanguages[] = {{UiLanguage::English, "en"}, {UiLanguage::Chinese, "zh"}};

class ParamsScreenshotTest : public ParamPageTest {
protected:
    ParamsScreenshotTest() { InstallFontSubstitutions(); }
};

TEST_F(ParamsScreenshotTest, PageAndGenerationDialogInBothLanguages) {
    for (const Language& l : kLanguages) {
        MakePage(nullptr, l.language);
        Shoot(*page, std::string("param_page_") + l.suffix);
        RadarDeviceStreamLink link(nullptr);
        CSensingGeneratorDlg dialog(nullptr, link, l.language);
        dialog.show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return dialog.isVisible(); }));
        PostTargetMessage(dialog.Handle(), kMsgGenerationProgress, kShownProgress, 0);
        ASSERT_TRUE(ProcessEventsUntil(
            [&] { return !GetDlgItemText(&dialog, kIdcGenerationStatus).isEmpty(); }));
        Shoot(dialog, std::string("threshold_generation_") + l.suffix);
        page.reset();
    }
}

}  // namespace
