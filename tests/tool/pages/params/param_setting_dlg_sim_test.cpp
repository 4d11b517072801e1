// ctest-labels: gui sim
// The parameter page against zorvan-sim: reads and writes run on a worker with the page disabled
// and a busy cursor, a failed read changes nothing, threshold generation started from the page
// ends with the new thresholds read back, and Write Config. asks before changing values that
// differ from the sensor's last known ones.
#include "pages/params/param_setting_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "pages/params/param_sequence_worker.h"
#include "pages/params/radar_param_commands.h"
#include "pages/params/radar_param_device.h"
#include "support/sim_process.h"
#include "support/thread_names.h"
#include "support/wait_until.h"
#include "tool/device/radar_device_handle.h"
#include "tool/pages/params/params_gui_support.h"

namespace {

// Every acknowledgement this late makes a sequence last long enough to be seen running.
constexpr const char* kSlowAckMs = "400";

bool SameRecord(const RadarParamSetting& a, const RadarParamSetting& b) {
    return a.DetectRangeMin == b.DetectRangeMin && a.DetectRangeMax == b.DetectRangeMax &&
           a.ResponseFreq == b.ResponseFreq && a.StateReportFreq == b.StateReportFreq &&
           a.RangeReportFreq == b.RangeReportFreq &&
           a.ObjectDisappearReportTime == b.ObjectDisappearReportTime &&
           std::equal(std::begin(a.TriggerThreshold), std::end(a.TriggerThreshold),
                      std::begin(b.TriggerThreshold)) &&
           std::equal(std::begin(a.HoldThreshold), std::end(a.HoldThreshold),
                      std::begin(b.HoldThreshold));
}

class ParamPageSimTest : public ParamPageTest {
protected:
    void StartSim(const std::vector<std::string>& args = {}) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        device = OpenStreamDevice(sim->PortPath());
        ASSERT_NE(device, nullptr);
        MakePage(device.get());
    }

    void TearDown() override {
        page.reset();
        device.reset();
        ParamPageTest::TearDown();
    }

    std::unique_ptr<SimProcess> sim;
    RadarDeviceHandle device;
};

// The sensor starts with known values; the page changes two of them.
class ParamWriteConfirmTest : public ParamPageSimTest {
protected:
    void SetUp() override {
        ParamPageSimTest::SetUp();
        StartSim();
        ResetToDefaults(wanted);
        wanted.DetectRangeMax = 4.2;
        wanted.TriggerThreshold[4] = 50;
        ASSERT_EQ(WriteAllParameters(device.get(), wanted), kParamResultSuccess);
        sensorStart = ReadSensor();
    }

    void ChangeTwoValues() {
        TypeInto(kIdcRangeMax, "5.6");
        TypeInto(kIdcFirstTriggerThreshold + 4, "61");
    }

    RadarParamSetting ReadSensor() {
        RadarParamSetting sensor;
        EXPECT_EQ(ReadAllParameters(device.get(), sensor), kParamResultSuccess);
        return sensor;
    }

    // Clicks Write Config. with the answer scripted for a question it may ask.
    void WriteAnswering(int answer) {
        boxes.requests.clear();
        boxes.ScriptAnswers({answer});
        Click(kIdcParamWrite);
        ASSERT_TRUE(WaitForSequence());
    }

    void ExpectQuestionListingTheTwoChanges(size_t index) {
        ASSERT_GT(boxes.requests.size(), index);
        const MessageBoxRequest& box = boxes.requests[index];
        EXPECT_EQ(box.text,
                  QStringLiteral("Writing changes these parameters on the sensor (sensor -> page):"
                                 "\r\nDetectRangeMax: 4.20 -> 5.60\r\n"
                                 "Gate4TriggerThreshold: 50 -> 61\r\n\r\nWrite them?"));
        EXPECT_EQ(box.caption, QStringLiteral("Confirm"));
        EXPECT_EQ(box.type, kMbYesNo | kMbIconQuestion);
    }

    RadarParamSetting wanted;       // what the sensor is given
    RadarParamSetting sensorStart;  // what it then reports (6 gates of 0.7 m, not 4.2 exactly)
};

TEST_F(ParamWriteConfirmTest, ChangesAfterAReadAreListedAndOnlyYesWritesThem) {
    Click(kIdcParamRead);
    ASSERT_TRUE(WaitForSequence());
    ChangeTwoValues();

    WriteAnswering(kIdNo);
    ASSERT_EQ(boxes.requests.size(), 1u) << "No writes nothing and says nothing more";
    ExpectQuestionListingTheTwoChanges(0);
    EXPECT_TRUE(SameRecord(ReadSensor(), sensorStart));

    WriteAnswering(kIdYes);
    ASSERT_EQ(boxes.requests.size(), 2u);
    ExpectQuestionListingTheTwoChanges(0);
    ExpectMessage(1, "Succeed setting parameters", "Success", kMbIconInformation);
    const RadarParamSetting written = ReadSensor();
    EXPECT_EQ(written.DetectRangeMax, 5.6);
    EXPECT_EQ(written.TriggerThreshold[4], 61u);

    // What was written is now the sensor's: writing it again asks nothing.
    WriteAnswering(kIdNo);
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Succeed setting parameters", "Success", kMbIconInformation);
}

TEST_F(ParamWriteConfirmTest, WithoutARecordOfTheSensorOrAChangeWritingAsksNothing) {
    // Nothing read yet: the page's values are written as before.
    ChangeTwoValues();
    WriteAnswering(kIdNo);
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Succeed setting parameters", "Success", kMbIconInformation);
    EXPECT_EQ(ReadSensor().TriggerThreshold[4], 61u);

    // Read, nothing changed.
    Click(kIdcParamRead);
    ASSERT_TRUE(WaitForSequence());
    WriteAnswering(kIdNo);
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Succeed setting parameters", "Success", kMbIconInformation);
}

TEST_F(ParamWriteConfirmTest, TheMainWindowsReadOnConnectingCountsOnlyWhenItSucceeded) {
    const struct {
        int result;
        bool asks;
    } cases[] = {{kParamResultSuccess, true}, {kParamResultFailed, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        ASSERT_EQ(WriteAllParameters(device.get(), wanted), kParamResultSuccess);
        ASSERT_EQ(ReadAllParameters(device.get(), record), kParamResultSuccess);
        page->TakeConnectRead(c.result);
        EXPECT_EQ(TextOf(kIdcRangeMax), QStringLiteral("4.2"));
        ChangeTwoValues();
        WriteAnswering(kIdNo);
        if (c.asks) {
            ASSERT_EQ(boxes.requests.size(), 1u);
            ExpectQuestionListingTheTwoChanges(0);
            EXPECT_TRUE(SameRecord(ReadSensor(), sensorStart));
        } else {
            ASSERT_EQ(boxes.requests.size(), 1u);
            ExpectMessage(0, "Succeed setting parameters", "Success", kMbIconInformation);
        }
    }
}

TEST_F(ParamPageSimTest, WriteThenReadBringsTheControlsBack) {
    StartSim();
    TypeInto(kIdcRangeMin, "2.1");
    TypeInto(kIdcRangeMax, "5.6");
    TypeInto(kIdcAbsenceDelay, "40");
    TypeInto(kIdcFirstTriggerThreshold + 4, "61");
    TypeInto(kIdcFirstHoldThreshold + 15, "22");
    QTest::mouseClick(qobject_cast<QRadioButton*>(GetDlgItem(page.get(), kIdcResponseNormal)),
                      Qt::LeftButton);
    QTest::keyClicks(List(kIdcRangeReportFreq), "2");
    Click(kIdcParamWrite);
    ASSERT_TRUE(WaitForSequence());
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Succeed setting parameters", "Success", kMbIconInformation);

    ResetToDefaults(record);
    page->RefreshControls();
    Click(kIdcParamRead);
    ASSERT_TRUE(WaitForSequence());
    ASSERT_EQ(boxes.requests.size(), 2u);
    ExpectMessage(1, "Succeed reading parameters", "Success", kMbIconInformation);
    EXPECT_EQ(TextOf(kIdcRangeMin), QStringLiteral("2.1"));
    EXPECT_EQ(TextOf(kIdcRangeMax), QStringLiteral("5.6"));
    EXPECT_EQ(TextOf(kIdcAbsenceDelay), QStringLiteral("40"));
    EXPECT_EQ(TextOf(kIdcFirstTriggerThreshold + 4), QStringLiteral("61"));
    EXPECT_EQ(TextOf(kIdcFirstHoldThreshold + 15), QStringLiteral("22"));
    EXPECT_EQ(TextOf(kIdcRangeReportFreq), QStringLiteral("2.0"));
    EXPECT_EQ(record.ResponseFreq, 1.0);
    EXPECT_EQ(IsDlgButtonChecked(page.get(), kIdcResponseNormal), 1);
}

TEST_F(ParamPageSimTest, ASequenceRunsOnAWorkerAndASecondClickDoesNothing) {
    StartSim({"--ack-delay", kSlowAckMs});
    Click(kIdcParamRead);
    EXPECT_TRUE(page->IsBusy());
    EXPECT_FALSE(page->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // The worker names itself once it runs.
    EXPECT_TRUE(WaitUntil([] { return ThreadsNamed(kParamSequenceThreadName) == 1; }));
    for (int button : {kIdcParamRead, kIdcParamWrite, kIdcParamReset, kIdcParamGenerate}) {
        Click(button);
    }
    // The window thread keeps running meanwhile.
    EXPECT_TRUE(ProcessEventsUntil([] { return true; }));
    ASSERT_TRUE(WaitForSequence());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(page->isEnabled());
    EXPECT_EQ(page->GeneratorDialog(), nullptr);
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Succeed reading parameters", "Success", kMbIconInformation);
    ProcessPendingEvents();
    EXPECT_EQ(boxes.requests.size(), 1u);
}

TEST_F(ParamPageSimTest, ASensorThatStopsAnsweringMidReadLeavesTheRecordAsItWas) {
    // The detect setting is answered, the trigger thresholds never.
    StartSim({"--no-ack", "0x73"});
    record.DetectRangeMax = 4.2;
    record.StateReportFreq = 2.0;
    record.RangeReportFreq = 2.0;
    record.TriggerThreshold[0] = 70;
    page->RefreshControls();
    const RadarParamSetting before = record;
    Click(kIdcParamRead);
    ASSERT_TRUE(WaitForSequence());
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Failed to read parameters", "Error", kMbIconError);
    EXPECT_TRUE(SameRecord(record, before)) << "no new detect setting with the old thresholds";
    EXPECT_EQ(TextOf(kIdcRangeMax), QStringLiteral("4.2"));
    EXPECT_EQ(TextOf(kIdcFirstTriggerThreshold), QStringLiteral("70"));
    // Saving now stores what was there before the read.
    Click(kIdcParamSave);
    EXPECT_EQ(SavedAttribute("DetectRangeMax"), "4.20");
}

TEST_F(ParamPageSimTest, ARefusedWriteSaysSo) {
    StartSim({"--fail-status", "0x72:3"});
    Click(kIdcParamWrite);
    ASSERT_TRUE(WaitForSequence());
    ASSERT_EQ(boxes.requests.size(), 1u);
    ExpectMessage(0, "Failed to set parameters", "Error", kMbIconError);
}

TEST_F(ParamPageSimTest, ThePageGoingWhileASequenceRunsWaitsForItAndShowsNothing) {
    StartSim({"--ack-delay", kSlowAckMs});
    Click(kIdcParamRead);
    ASSERT_TRUE(page->IsBusy());
    ASSERT_TRUE(WaitUntil([] { return ThreadsNamed(kParamSequenceThreadName) == 1; }));
    page.reset();
    EXPECT_EQ(ThreadsNamed(kParamSequenceThreadName), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ProcessPendingEvents();
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(ParamPageSimTest, GenerationFromThePageReadsTheNewThresholdsBack) {
    // Sensor time 60 times faster: the 30 s scan takes half a second.
    StartSim({"--time-scale", "60"});
    Click(kIdcParamGenerate);
    CSensingGeneratorDlg* dialog = page->GeneratorDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialog->isVisible(); }));
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    QTest::mouseClick(qobject_cast<QRadioButton*>(GetDlgItem(dialog, kIdcComplicatedEnv)),
                      Qt::LeftButton);
    QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(dialog, kIdcStartStop)),
                      Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return GetDlgItemText(dialog, kIdcGenerationStatus) == "Successfully generated."; },
        kParamsHangDeadline));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !dialog->IsRunning(); }));
    dialog->close();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->GeneratorDialog() == nullptr; }));
    ASSERT_TRUE(WaitForSequence());
    EXPECT_TRUE(boxes.requests.empty()) << "the re-read shows no message";

    RadarParamSetting sensor;
    ASSERT_EQ(ReadThresholdsAfterGeneration(device.get(), sensor), kParamResultSuccess);
    bool changed = false;
    for (int gate = 0; gate < kGateCount; ++gate) {
        SCOPED_TRACE(gate);
        EXPECT_EQ(record.TriggerThreshold[gate], sensor.TriggerThreshold[gate]);
        EXPECT_EQ(record.HoldThreshold[gate], sensor.HoldThreshold[gate]);
        EXPECT_EQ(TextOf(kIdcFirstTriggerThreshold + gate),
                  QString::number(sensor.TriggerThreshold[gate]));
        changed |= sensor.TriggerThreshold[gate] != kDefaultTriggerThreshold[gate];
    }
    EXPECT_TRUE(changed);
}

TEST_F(ParamPageSimTest, ClosingGenerationWithoutSuccessReadsNothing) {
    StartSim();
    record.TriggerThreshold[0] = 77;
    page->RefreshControls();
    Click(kIdcParamGenerate);
    CSensingGeneratorDlg* dialog = page->GeneratorDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->close();
    ASSERT_TRUE(ProcessEventsUntil([&] { return page->GeneratorDialog() == nullptr; }));
    EXPECT_FALSE(page->IsBusy());
    EXPECT_EQ(record.TriggerThreshold[0], 77u);
}

TEST_F(ParamPageSimTest, ThePageGoingWhileGenerationRunsStopsAndJoinsTheWorker) {
    StartSim();
    Click(kIdcParamGenerate);
    CSensingGeneratorDlg* dialog = page->GeneratorDialog();
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(qobject_cast<QPushButton*>(GetDlgItem(dialog, kIdcStartStop)),
                      Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil(
        [&] {
            return GetDlgItemText(dialog, kIdcGenerationStatus).startsWith("Generate progress");
        },
        kParamsHangDeadline));
    // A close request is refused while the worker runs.
    dialog->close();
    ProcessPendingEvents();
    ASSERT_EQ(page->GeneratorDialog(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    page.reset();
    EXPECT_EQ(ThreadsNamed(kGenerationThreadName), 0);
    ProcessPendingEvents();
}

}  // namespace
