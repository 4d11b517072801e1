// ctest-labels: gui
#include "controls/digital_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "controls/balloon_wnd.h"
#include "core/delay_post_msg.h"
#include "core/message_target.h"
#include "platform/dialog_items.h"
#include "tool/controls/controls_gui_support.h"

namespace {

// A window with the numeric edit under test and a second one to move the focus to.
class DigitalEditTest : public TwoEditsTest<CDigitalEdit> {
protected:
    bool PointPending() const {
        const uint64_t point = '.';
        return gDelayPostMsgEngine.HasDelayPostMsg(edit->Handle(), edit->Handle(), kMsgChar, &point,
                                                   nullptr) != 0;
    }

    // Leaves the field with Tab, as a user would.
    void Leave() { QTest::keyClick(edit, Qt::Key_Tab); }
};

TEST_F(DigitalEditTest, HardLimitsRefuseOutOfRangeValuesWithTheirTexts) {
    edit->SetValueType(UInt32);
    edit->SetMinValue(DigitalValueFromNumber(UInt32, 10));
    edit->SetMaxValue(DigitalValueFromNumber(UInt32, 95));
    QSignalSpy changed(edit, &CXEdit::EditChanged);
    struct Case {
        const char* typed;
        const char16_t* message;  // null: accepted
        int id;
        const char* textAfter;
    } cases[] = {
        {"5", u"MinValue Must >= 10", kBalloonIdMustMin, "10"},
        {"100", u"MaxValue Must <= 95", kBalloonIdMustMax, "95"},
        {"15", nullptr, 0, "15"},
    };
    for (const Case& c : cases) {
        FocusEdit();
        edit->selectAll();
        changed.clear();
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(changed.count(), 0) << "deferred: nothing before the focus leaves";
        Leave();
        EXPECT_TRUE(other->hasFocus());
        EXPECT_EQ(edit->text(), QString::fromUtf8(c.textAfter));
        const BalloonMessage* m = Message(c.id);
        if (c.message) {
            ASSERT_NE(m, nullptr) << c.typed;
            EXPECT_EQ(m->title, u"Data Invalid");
            EXPECT_EQ(m->text, c.message);
            EXPECT_EQ(m->icon, kBalloonIconError);
            EXPECT_TRUE(edit->Balloon()->isVisible());
            // The replacement is a change the parent hears of.
            EXPECT_EQ(changed.count(), 1);
        } else {
            EXPECT_EQ(Message(kBalloonIdMustMin), nullptr);
            EXPECT_EQ(Message(kBalloonIdMustMax), nullptr);
            ASSERT_EQ(changed.count(), 1) << "one notification when the focus leaves";
            EXPECT_EQ(changed.at(0).at(0).toInt(), kEditId);
        }
        if (edit->Balloon()) edit->Balloon()->hide();
    }
}

TEST_F(DigitalEditTest, TypedPointIsNotDoubled) {
    edit->SetValueType(Double);
    QTest::keyClicks(edit, "1.5");
    EXPECT_EQ(edit->text(), QStringLiteral("1.5"));
    EXPECT_FALSE(PointPending()) << "a key that produced its point posts no second one";
    EXPECT_EQ(edit->Balloon(), nullptr) << "nothing was refused";
}

TEST_F(DigitalEditTest, PeriodTurnedIntoIdeographicStopStillGivesOnePoint) {
    edit->SetValueType(Double);
    QTest::keyClicks(edit, "1");
    // An input method turned the period into U+3002: refused silently, the point comes later.
    QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_Period, QString(QChar(0x3002)), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_Period, QString(QChar(0x3002)),
                        Qt::NoModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("1"));
    EXPECT_EQ(edit->Balloon(), nullptr) << "the stop is refused without a message";
    EXPECT_TRUE(ProcessEventsUntil([&] { return edit->text() == QStringLiteral("1."); }));
    QTest::keyClicks(edit, "5");
    EXPECT_EQ(edit->text(), QStringLiteral("1.5"));
}

TEST_F(DigitalEditTest, PointPostedToADestroyedEditIsDropped) {
    edit->SetValueType(Double);
    QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_Period, QString(QChar(0x3002)), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_Period, QString(QChar(0x3002)),
                        Qt::NoModifier);
    ASSERT_TRUE(PointPending());
    const HWND gone = edit->Handle();
    const uint64_t point = '.';
    delete edit;
    edit = nullptr;
    EXPECT_EQ(IsTargetAlive(gone), 0);
    ASSERT_TRUE(ProcessEventsUntil([&] {
        return gDelayPostMsgEngine.HasDelayPostMsg(gone, gone, kMsgChar, &point, nullptr) == 0;
    }));
    ProcessPendingEvents();
    EXPECT_EQ(other->text(), QString()) << "the point went nowhere";
}

TEST_F(DigitalEditTest, PastedDroppedAndInputMethodTextIsCheckedWhole) {
    edit->SetValueType(Int32);
    QTest::keyClicks(edit, "7");
    QApplication::clipboard()->setText(QStringLiteral("12abc"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("7")) << "a paste with letters is refused whole";
    const BalloonMessage* m = Message(kBalloonIdInputError);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->title, u"Input Error");
    EXPECT_EQ(m->text, u"Invalid character 'a'");

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("3x"));
    QApplication::sendEvent(edit, &commit);
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_EQ(Message(kBalloonIdInputError)->text, u"Invalid character 'x'");

    QMimeData dragged;
    dragged.setText(QStringLiteral("4z"));
    // A drag enters, moves to the end and drops its text, as the drag manager delivers it.
    const QPoint at(150, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &move);
    QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &drop);
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
    EXPECT_EQ(Message(kBalloonIdInputError)->text, u"Invalid character 'z'");

    QApplication::clipboard()->setText(QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("712"));
    QInputMethodEvent digits;
    digits.setCommitString(QStringLiteral("0"));
    QApplication::sendEvent(edit, &digits);
    EXPECT_EQ(edit->text(), QStringLiteral("7120"));
}

TEST_F(DigitalEditTest, CharacterRulesShowTheirMessages) {
    edit->SetValueType(Int32);
    QTest::keyClicks(edit, "12");
    QTest::keyClick(edit, '-');
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    EXPECT_EQ(Message(kBalloonIdInputError)->text, u"'-' can only the first character");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, '-');
    EXPECT_EQ(edit->text(), QStringLiteral("-12"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, '-');
    EXPECT_EQ(edit->text(), QStringLiteral("-12"));
    EXPECT_EQ(Message(kBalloonIdInputError)->text, u"Invalid character '-'");
    ASSERT_EQ(edit->Balloon()->Model().LiveMessages().size(), 1u) << "the same id is replaced";
}

TEST_F(DigitalEditTest, NonNumberTextIsRefusedOnLeavingAndTheLastValidTextComesBack) {
    edit->SetValueType(Int32);
    QTest::keyClicks(edit, "42");
    Leave();
    FocusEdit();
    edit->selectAll();
    QTest::keyClicks(edit, "-");
    Leave();
    EXPECT_EQ(edit->text(), QStringLiteral("42"));
    const BalloonMessage* m = Message(kBalloonIdMustMin);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->text, u"Invalid number '-'");
}

TEST_F(DigitalEditTest, AdvisoryLimitWarnsAndTheParentIsStillNotified) {
    edit->SetValueType(UInt32);
    edit->SetMinValue(DigitalValueFromNumber(UInt32, 10));
    edit->SetMaxValue(DigitalValueFromNumber(UInt32, 255));
    edit->SuggestMinLimits().push_back(
        ValueLimit{UInt32, 15, 0, u"低帧频下较短的无人上报时间可能会影响检测性能", {}});
    QSignalSpy changed(edit, &CXEdit::EditChanged);
    QTest::keyClicks(edit, "12");
    QTest::keyClick(edit, Qt::Key_Return);  // Enter moves on like Tab
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    const BalloonMessage* m = Message(kBalloonIdSuggestMin);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->icon, kBalloonIconWarning);
    EXPECT_EQ(m->text, u"低帧频下较短的无人上报时间可能会影响检测性能 Suggest >= 15");
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(DigitalEditTest, ImmediateNotifyReportsEveryChange) {
    edit->SetDeferredNotify(false);
    QSignalSpy changed(edit, &CXEdit::EditChanged);
    QTest::keyClicks(edit, "123");
    EXPECT_EQ(changed.count(), 3);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(changed.count(), 4);
    Leave();
    EXPECT_EQ(changed.count(), 4) << "nothing more when the focus leaves";
}

TEST_F(DigitalEditTest, DialogDoubleHelpersDropTrailingZerosAndReadTheLeadingNumber) {
    edit->SetValueType(Double);
    struct Case {
        double value;
        const char* text;
    } cases[] = {{2.50, "2.5"}, {3.0, "3"}, {1.234, "1.23"}, {-0.5, "-0.5"}};
    for (const Case& c : cases) {
        SetDlgItemDouble(window.get(), kEditId, c.value);
        EXPECT_EQ(edit->text(), QString::fromUtf8(c.text));
        EXPECT_DOUBLE_EQ(GetDlgItemDouble(window.get(), kEditId), QString(c.text).toDouble());
    }
    EXPECT_EQ(edit->Balloon(), nullptr) << "the program's own texts are not checked as typing";
    other->setText(QStringLiteral("12.5 m"));
    EXPECT_DOUBLE_EQ(GetDlgItemDouble(window.get(), kOtherId), 12.5);
    EXPECT_EQ(GetDlgItemDouble(window.get(), 9999), 0.0);
}

}  // namespace
