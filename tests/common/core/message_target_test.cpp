#include "core/message_target.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/message_target_recorder.h"

namespace {

int Refuse(HWND, uint32_t, uint64_t, int64_t) {
    return 0;
}

class MessageTargetTest : public ::testing::Test {
protected:
    static constexpr int kPurged = 3;
    MessageTargetRecorder m_recorder{kPurged};
};

TEST_F(MessageTargetTest, WithoutHooksNothingIsPosted) {
    EXPECT_EQ(PostTargetMessage(1, 0x500, 2, 3), 0);
    EXPECT_EQ(PurgeTargetMessages(1, 0x500), 0);
    EXPECT_EQ(IsTargetAlive(1), 0);
    EXPECT_EQ(m_recorder.PostedCount(), 0u);
}

TEST_F(MessageTargetTest, HooksReceivePostsAndPurges) {
    m_recorder.InstallHooks();
    EXPECT_EQ(PostTargetMessage(7, 0x501, UINT64_MAX, -5), 1);
    const std::vector<PostedMessage> posted = m_recorder.Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].target, 7u);
    EXPECT_EQ(posted[0].msg, 0x501u);
    EXPECT_EQ(posted[0].wParam, UINT64_MAX);
    EXPECT_EQ(posted[0].lParam, -5);
    EXPECT_EQ(PurgeTargetMessages(7, 0x501), kPurged);
    EXPECT_EQ(m_recorder.Purged(), (std::vector<std::pair<HWND, uint32_t>>{{7, 0x501}}));
    EXPECT_EQ(IsTargetAlive(7), 1);
}

TEST_F(MessageTargetTest, GoneTargetGetsNothingSilently) {
    m_recorder.InstallHooks();
    m_recorder.MarkGone(9);
    EXPECT_EQ(PostTargetMessage(9, 0x500, 0, 0), 0);
    EXPECT_EQ(m_recorder.PostedCount(), 0u);
    EXPECT_EQ(IsTargetAlive(9), 0);
}

TEST_F(MessageTargetTest, RefusedPostAndRemovedHooks) {
    SetMessageTargetHooks(Refuse, nullptr, nullptr);
    EXPECT_EQ(PostTargetMessage(1, 0x500, 0, 0), 0);
    EXPECT_EQ(PurgeTargetMessages(1, 0x500), 0);
    SetMessageTargetHooks(MessageTargetRecorder::Post, nullptr, nullptr);
    EXPECT_EQ(PostTargetMessage(1, 0x500, 0, 0), 1);  // no alive hook: every target counts
    SetMessageTargetHooks(nullptr, nullptr, nullptr);
    EXPECT_EQ(PostTargetMessage(1, 0x500, 0, 0), 0);
    EXPECT_EQ(m_recorder.PostedCount(), 1u);
}

}  // namespace
