// ctest-labels: gui
#include "platform/user_prompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include "support/prompt_recorder.h"
#include "support/qt_test_app.h"

namespace {

class UserPromptsTest : public GuiTest {};

bool AnyTopLevelWindowVisible() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) return true;
    }
    return false;
}

TEST_F(UserPromptsTest, MessageBoxDuringATestIsRecordedNeverShown) {
    QWidget owner;
    MessageBoxRecorder boxes;
    boxes.ScriptAnswers({kIdYes});
    EXPECT_EQ(MessageBox(&owner, QStringLiteral("无串口设备"), QStringLiteral("错误"),
                         kMbYesNo | kMbIconError | kMbTopMost),
              kIdYes);
    EXPECT_EQ(MessageBox(nullptr, QStringLiteral("second"), QStringLiteral("Note"), kMbOkCancel),
              kIdCancel);
    ASSERT_EQ(boxes.requests.size(), 2u);
    EXPECT_EQ(boxes.requests[0].owner, &owner);
    EXPECT_EQ(boxes.requests[0].text, QStringLiteral("无串口设备"));
    EXPECT_EQ(boxes.requests[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(boxes.requests[0].type, kMbYesNo | kMbIconError | kMbTopMost);
    EXPECT_EQ(boxes.requests[1].text, QStringLiteral("second"));
    EXPECT_FALSE(AnyTopLevelWindowVisible());
}

TEST_F(UserPromptsTest, PickersAreRecordedAndAnswered) {
    OpenFileRecorder files;
    files.answer = QStringLiteral("/data/RadarData.dat");
    EXPECT_EQ(ChooseOpenFile(nullptr, QStringLiteral("Replay"), QStringLiteral("/data"),
                             QStringLiteral("Data (*.dat)")),
              files.answer);
    ASSERT_EQ(files.requests.size(), 1u);
    EXPECT_EQ(files.requests[0].initialPath, QStringLiteral("/data"));
    EXPECT_EQ(files.requests[0].filter, QStringLiteral("Data (*.dat)"));

    SaveFileRecorder saves;
    saves.answer = QStringLiteral("/data/plot.png");
    EXPECT_EQ(
        ChooseSaveFile(nullptr, QStringLiteral("Save"), QString(), QStringLiteral("PNG (*.png)")),
        saves.answer);
    ASSERT_EQ(saves.requests.size(), 1u);
    EXPECT_EQ(saves.requests[0].filter, QStringLiteral("PNG (*.png)"));

    FolderRecorder folders;
    EXPECT_EQ(ChooseFolder(nullptr, QStringLiteral("Save"), QStringLiteral("/data/SaveData")),
              QString());
    ASSERT_EQ(folders.requests.size(), 1u);
    EXPECT_EQ(folders.requests[0].initialFolder, QStringLiteral("/data/SaveData"));
    EXPECT_FALSE(AnyTopLevelWindowVisible());
}

TEST_F(UserPromptsTest, RecordersPutThePreviousSeamBack) {
    MessageBoxRecorder outer;
    {
        MessageBoxRecorder inner;
        MessageBox(nullptr, QStringLiteral("inner"), QString(), kMbOk);
        EXPECT_EQ(inner.requests.size(), 1u);
    }
    MessageBox(nullptr, QStringLiteral("outer"), QString(), kMbOk);
    ASSERT_EQ(outer.requests.size(), 1u);
    EXPECT_EQ(outer.requests[0].text, QStringLiteral("outer"));
}

// Without a recorder, on a platform without a screen nothing modal opens: the prompt is answered
// as dismissed at once (a hang here would be caught by the test's time limit).
TEST_F(UserPromptsTest, WithoutAScreenPromptsAnswerAsDismissed) {
    struct Case {
        uint32_t type;
        int answer;
    };
    const Case cases[] = {{kMbOk, kIdOk},
                          {kMbOk | kMbIconError, kIdOk},
                          {kMbOkCancel | kMbIconQuestion, kIdCancel},
                          {kMbYesNo, kIdNo},
                          {kMbYesNoCancel | kMbIconWarning, kIdCancel}};
    for (const Case& c : cases) {
        EXPECT_EQ(MessageBox(nullptr, QStringLiteral("text"), QStringLiteral("caption"), c.type),
                  c.answer)
            << c.type;
    }
    EXPECT_EQ(ChooseOpenFile(nullptr, QString(), QString(), QString()), QString());
    EXPECT_EQ(ChooseSaveFile(nullptr, QString(), QString(), QString()), QString());
    EXPECT_EQ(ChooseFolder(nullptr, QString(), QString()), QString());
    EXPECT_FALSE(AnyTopLevelWindowVisible());
}

}  // namespace
