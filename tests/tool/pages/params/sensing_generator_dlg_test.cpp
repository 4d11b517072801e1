// ctest-labels: gui sim
// The threshold generation dialog: the scan time it sends (the two presets and the hidden edit),
// progress and end texts, Stop, the close rules and the Ctrl-triple-click gesture, against
// zorvan-sim where the sensor matters.
#include "pages/params/sensing_generator_dlg.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "core/message_target.h"
#include "platform/dialog_items.h"
#include "support/qt_test_app.h"
#include "support/sim_process.h"
#include "support/thread_names.h"
#include "tool/device/radar_device_handle.h"
#include "tool/pages/params/observed_stream_link.h"

namespace {

constexpr auto kHangDeadline = std::chrono::seconds(30);

class GenerationDialogTest : public GuiTest {
protected:
    void StartSim(const std::vector<std::string>& args = {}) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        device = OpenStreamDevice(sim->PortPath());
        ASSERT_NE(device, nullptr);
        link = std::make_unique<ObservedStreamLink>(device.get());
    }

    void MakeDialog(UiLanguage language = UiLanguage::English) {
        if (!link) link = std::make_unique<ObservedStreamLink>(nullptr);
        dialog = std::make_unique<CSensingGeneratorDlg>(nullptr, *link, language);
        finished = std::make_unique<QSignalSpy>(dialog.get(), &QDialog::finished);
        dialog->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return dialog->isVisible(); }));
    }

    void TearDown() override {
        dialog.reset();
        link.reset();
        device.reset();
        GuiTest::TearDown();
    }

    void ClickControl(int id, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* control = GetDlgItem(dialog.get(), id);
        ASSERT_NE(control, nullptr);
        QTest::mouseClick(control, Qt::LeftButton, modifiers);
    }

    QString Status() const { return GetDlgItemText(dialog.get(), kIdcGenerationStatus); }
    QString Caption() const { return GetDlgItemText(dialog.get(), kIdcStartStop); }

    bool WaitForStatus(const QString& text) {
        return ProcessEventsUntil([&] { return Status() == text; }, kHangDeadline);
    }

    // Closes the dialog; its end code, or -1 when it stayed open.
    int CloseDialog() {
        dialog->close();
        ProcessPendingEvents();
        return finished->isEmpty() ? -1 : finished->takeFirst().at(0).toInt();
    }

    std::unique_ptr<SimProcess> sim;
    RadarDeviceHandle device;
    std::unique_ptr<ObservedStreamLink> link;
    std::unique_ptr<CSensingGeneratorDlg> dialog;
    std::unique_ptr<QSignalSpy> finished;
};

struct ScanTimeCase {
    const char* name;
    int radio;          // clicked before Start; 0 for the hidden edit
    const char* typed;  // into the hidden edit
    uint8_t low, high;  // the scan time's bytes in the payload
};

void PrintTo(const ScanTimeCase& c, std::ostream* os) {
    *os << c.name;
}

const ScanTimeCase kScanTimeCases[] = {
    {"ComplicatedEnv30s", kIdcComplicatedEnv, nullptr, 0x1E, 0x00},
    {"PureEnv120s", kIdcPureEnv, nullptr, 0x78, 0x00},
    {"HiddenEdit200s", 0, "200", 0xC8, 0x00},
};

class GenerationPayloadTest : public GenerationDialogTest,
                              public testing::WithParamInterface<ScanTimeCase> {};

TEST_P(GenerationPayloadTest, SendsTheCoefficientsAndTheChosenScanTime) {
    const ScanTimeCase& c = GetParam();
    StartSim();
    MakeDialog();
    if (c.radio != 0) {
        ClickControl(c.radio);
    } else {
        for (int i = 0; i < kScanTimeGestureClicks; ++i) {
            ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
        }
        ASSERT_TRUE(IsDlgItemShown(dialog.get(), kIdcScanTime));
        QWidget* edit = GetDlgItem(dialog.get(), kIdcScanTime);
        edit->setFocus();
        ASSERT_TRUE(ProcessEventsUntil([&] { return edit->hasFocus(); }));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, c.typed);
    }
    ClickControl(kIdcStartStop);
    EXPECT_EQ(Caption(), QStringLiteral("Stop"));
    for (int id : {kIdcTriggerCoefficient, kIdcHoldCoefficient, kIdcScanTime, kIdcComplicatedEnv,
                   kIdcPureEnv}) {
        EXPECT_FALSE(IsDlgItemEnabled(dialog.get(), id)) << id;
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return !link->Payloads().empty(); }, kHangDeadline));
    EXPECT_EQ(link->Payloads()[0], (std::vector<uint8_t>{0x02, 0x00, 0x01, 0x00, c.low, c.high}));
    ClickControl(kIdcStartStop);
    EXPECT_EQ(Caption(), QStringLiteral("Start"));
    EXPECT_FALSE(dialog->IsRunning());
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Generate failed.")));
    EXPECT_TRUE(IsDlgItemEnabled(dialog.get(), kIdcTriggerCoefficient));
    EXPECT_EQ(CloseDialog(), kGenerationDialogNotSucceeded);
}

INSTANTIATE_TEST_SUITE_P(ScanTimes, GenerationPayloadTest, testing::ValuesIn(kScanTimeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GenerationDialogTest, ProgressShowsInTheBarAndTheStatusInBothLanguages) {
    const struct {
        UiLanguage language;
        const char16_t* text;
    } cases[] = {{UiLanguage::English, u"Generate progress:  50%"},
                 {UiLanguage::Chinese, u"生成进度:  50%"}};
    for (const auto& c : cases) {
        MakeDialog(c.language);
        EXPECT_EQ(Status(), QString()) << "emptied at the start";
        PostTargetMessage(dialog->Handle(), kMsgGenerationProgress, 50, 0);
        EXPECT_TRUE(WaitForStatus(QString::fromStdU16String(c.text)));
        auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(dialog.get(), kIdcGenerationProgress));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->value(), 50);
        EXPECT_EQ(bar->maximum(), 100);
    }
}

TEST_F(GenerationDialogTest, AScanReaching100EndsWithSuccessAndTheDialogReturns1) {
    StartSim({"--time-scale", "60"});
    MakeDialog();
    ClickControl(kIdcComplicatedEnv);
    ClickControl(kIdcStartStop);
    // Closing is refused while the worker runs.
    EXPECT_EQ(CloseDialog(), -1);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Successfully generated.")));
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open after success";
    EXPECT_EQ(Caption(), QStringLiteral("Start"));
    EXPECT_EQ(dialog->Result(), 1);
    EXPECT_EQ(
        qobject_cast<QProgressBar*>(GetDlgItem(dialog.get(), kIdcGenerationProgress))->value(),
        100);
    EXPECT_EQ(CloseDialog(), kGenerationDialogSucceeded);
}

TEST_F(GenerationDialogTest, StopEndsWithFailureAndTheDialogReturns2) {
    StartSim();
    MakeDialog();
    ClickControl(kIdcStartStop);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Status().startsWith("Generate progress"); },
                                   kHangDeadline));
    ClickControl(kIdcStartStop);
    EXPECT_EQ(ThreadsNamed(kGenerationThreadName), 0) << "Stop waits for the worker";
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Generate failed.")));
    EXPECT_EQ(dialog->Result(), 0);
    EXPECT_EQ(CloseDialog(), kGenerationDialogNotSucceeded);
}

TEST_F(GenerationDialogTest, ARefusedCommandEndsWithFailure) {
    StartSim({"--fail-status", "0x09:3"});
    MakeDialog();
    ClickControl(kIdcStartStop);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Generate failed.")));
    EXPECT_EQ(Caption(), QStringLiteral("Start"));
    EXPECT_TRUE(IsDlgItemEnabled(dialog.get(), kIdcPureEnv));
}

TEST_F(GenerationDialogTest, DestroyingTheDialogDuringARunJoinsTheWorker) {
    StartSim();
    MakeDialog();
    ClickControl(kIdcStartStop);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Status().startsWith("Generate progress"); },
                                   kHangDeadline));
    const HWND handle = dialog->Handle();
    dialog.reset();
    EXPECT_EQ(ThreadsNamed(kGenerationThreadName), 0);
    EXPECT_EQ(PostTargetMessage(handle, kMsgGenerationProgress, 1, 0), 0);
    ProcessPendingEvents();
}

TEST_F(GenerationDialogTest, EscapeEndsNothing) {
    MakeDialog();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    ProcessPendingEvents();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(finished->isEmpty());
}

TEST_F(GenerationDialogTest, CtrlTripleClickOnTheWarningTogglesTheScanTimeEdit) {
    MakeDialog();
    const auto editShown = [&] {
        return IsDlgItemShown(dialog.get(), kIdcScanTime) &&
               IsDlgItemShown(dialog.get(), kIdcScanTimeLabel) &&
               !IsDlgItemShown(dialog.get(), kIdcComplicatedEnv) &&
               !IsDlgItemShown(dialog.get(), kIdcPureEnv);
    };
    EXPECT_FALSE(IsDlgItemShown(dialog.get(), kIdcScanTime));
    // Without Ctrl, or with a click elsewhere between, nothing happens.
    for (int i = 0; i < kScanTimeGestureClicks; ++i) ClickControl(kIdcGenerationWarning);
    EXPECT_FALSE(IsDlgItemShown(dialog.get(), kIdcScanTime));
    ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
    ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
    QTest::mouseClick(dialog.get(), Qt::LeftButton, Qt::ControlModifier, QPoint(2, 2));
    ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
    EXPECT_FALSE(IsDlgItemShown(dialog.get(), kIdcScanTime));
    ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
    ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
    EXPECT_TRUE(editShown());
    EXPECT_EQ(GetDlgItemText(dialog.get(), kIdcScanTime), QStringLiteral("120"));
    for (int i = 0; i < kScanTimeGestureClicks; ++i) {
        ClickControl(kIdcGenerationWarning, Qt::ControlModifier);
    }
    EXPECT_FALSE(IsDlgItemShown(dialog.get(), kIdcScanTime));
    EXPECT_TRUE(IsDlgItemShown(dialog.get(), kIdcPureEnv));
}

}  // namespace
