// ctest-labels: gui
#include "controls/x_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <thread>
#include <vector>

#include "controls/color_static.h"
#include "core/message_target.h"
#include "platform/dialog_items.h"
#include "tool/controls/controls_gui_support.h"

namespace {

class XEditTest : public TwoEditsTest<CXEdit> {
protected:
    std::u16string LastMessage() const {
        const BalloonMessage* m = Message();
        return m ? m->text : std::u16string();
    }
};

TEST_F(XEditTest, HintShowsOnlyWhileEmpty) {
    edit->SetHintText(QStringLiteral("Enter a name"));
    ASSERT_NE(edit->Hint(), nullptr);
    EXPECT_TRUE(edit->Hint()->isVisible());
    EXPECT_EQ(edit->Hint()->text(), QStringLiteral("Enter a name"));
    EXPECT_EQ(edit->Hint()->TextColour(), COLORREF(0x808080));
    EXPECT_EQ(GetControlId(edit->Hint()), kHintControlId);
    QTest::keyClicks(edit, "ab");
    EXPECT_FALSE(edit->Hint()->isVisible());
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_TRUE(edit->Hint()->isVisible());
}

TEST_F(XEditTest, AllowedAndDeniedListsApplyToTypedAndPastedText) {
    edit->SetAllowedChars(u"abc123", u"");
    edit->SetDeniedChars(u"3", u"No threes here");
    QTest::keyClicks(edit, "a1");
    QTest::keyClick(edit, 'z');
    EXPECT_EQ(edit->text(), QStringLiteral("a1"));
    EXPECT_EQ(LastMessage(), u"Invalid character 'z'");
    QTest::keyClick(edit, '3');
    EXPECT_EQ(LastMessage(), u"No threes here");
    QApplication::clipboard()->setText(QStringLiteral("bc3"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("a1"));
    QApplication::clipboard()->setText(QStringLiteral("bc2"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("a1bc2"));
    // The program's own text is not typing.
    edit->setText(QStringLiteral("zzz"));
    EXPECT_EQ(edit->text(), QStringLiteral("zzz"));
}

TEST_F(XEditTest, FocusLossIsQuietUnlessAskedAndChangesAreReportedOnce) {
    QSignalSpy changed(edit, &CXEdit::EditChanged);
    QSignalSpy left(edit, &CXEdit::FocusLeft);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(left.count(), 0) << "nothing changed: the focus loss is consumed";
    edit->SetQuietFocusLoss(false);
    FocusEdit();
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_TRUE(other->hasFocus());
    ASSERT_EQ(left.count(), 1);
    EXPECT_EQ(left.at(0).at(0).toInt(), kEditId);
    FocusEdit();
    QTest::keyClicks(edit, "xyz");
    EXPECT_EQ(changed.count(), 0);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(left.count(), 1) << "a change is reported instead of the focus loss";
}

TEST_F(XEditTest, TextWrittenBackDuringTheNotificationIsPassedOnNested) {
    std::vector<QString> seen;
    QObject::connect(edit, &CXEdit::EditChanged, edit, [&](int) {
        seen.push_back(edit->text());
        if (edit->text() == QStringLiteral("9")) edit->setText(QStringLiteral("8.4"));
    });
    QTest::keyClicks(edit, "9");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(seen, (std::vector<QString>{QStringLiteral("9"), QStringLiteral("8.4")}));
    // Outside a notification, the program's own writes stay quiet.
    edit->setText(QStringLiteral("7"));
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(XEditTest, TextIsBlackWhileFocusedAndTheUnfocusedColourOtherwise) {
    edit->SetUnfocusedTextColour(RGB(0, 0, 255));
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0, 0, 0));
    other->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return other->hasFocus(); }));
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 255, 255));
}

TEST_F(XEditTest, CharactersPostedFromAWorkerArriveOnTheWindowThread) {
    const HWND handle = edit->Handle();
    std::thread worker([handle] { PostTargetMessage(handle, kMsgChar, 'q', 0); });
    worker.join();
    EXPECT_EQ(edit->text(), QString()) << "nothing is touched from the worker";
    EXPECT_TRUE(ProcessEventsUntil([&] { return edit->text() == QStringLiteral("q"); }));
}

}  // namespace
