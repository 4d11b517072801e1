#include "core/message_target.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <vector>

namespace {

struct Posted {
    HWND target;
    uint32_t msg;
    uint64_t wParam;
    int64_t lParam;
};

std::mutex gMutex;
std::vector<Posted> gPosted;
std::vector<std::pair<HWND, uint32_t>> gPurged;
std::set<HWND> gGone;

int Post(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam) {
    std::lock_guard<std::mutex> lock(gMutex);
    gPosted.push_back({target, msg, wParam, lParam});
    return 1;
}
int Purge(HWND target, uint32_t msg) {
    std::lock_guard<std::mutex> lock(gMutex);
    gPurged.emplace_back(target, msg);
    return 3;
}
int Alive(HWND target) {
    std::lock_guard<std::mutex> lock(gMutex);
    return gGone.count(target) == 0 ? 1 : 0;
}
int Refuse(HWND, uint32_t, uint64_t, int64_t) {
    return 0;
}

class MessageTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        gPosted.clear();
        gPurged.clear();
        gGone.clear();
    }
    void TearDown() override { SetMessageTargetHooks(nullptr, nullptr, nullptr); }
};

TEST_F(MessageTargetTest, WithoutHooksNothingIsPosted) {
    EXPECT_EQ(PostTargetMessage(1, 0x500, 2, 3), 0);
    EXPECT_EQ(PurgeTargetMessages(1, 0x500), 0);
    EXPECT_EQ(IsTargetAlive(1), 0);
    EXPECT_TRUE(gPosted.empty());
}

TEST_F(MessageTargetTest, HooksReceivePostsAndPurges) {
    SetMessageTargetHooks(Post, Purge, Alive);
    EXPECT_EQ(PostTargetMessage(7, 0x501, UINT64_MAX, -5), 1);
    ASSERT_EQ(gPosted.size(), 1u);
    EXPECT_EQ(gPosted[0].target, 7u);
    EXPECT_EQ(gPosted[0].msg, 0x501u);
    EXPECT_EQ(gPosted[0].wParam, UINT64_MAX);
    EXPECT_EQ(gPosted[0].lParam, -5);
    EXPECT_EQ(PurgeTargetMessages(7, 0x501), 3);
    EXPECT_EQ(gPurged, (std::vector<std::pair<HWND, uint32_t>>{{7, 0x501}}));
    EXPECT_EQ(IsTargetAlive(7), 1);
}

TEST_F(MessageTargetTest, GoneTargetGetsNothingSilently) {
    SetMessageTargetHooks(Post, Purge, Alive);
    gGone.insert(9);
    EXPECT_EQ(PostTargetMessage(9, 0x500, 0, 0), 0);
    EXPECT_TRUE(gPosted.empty());
    EXPECT_EQ(IsTargetAlive(9), 0);
}

TEST_F(MessageTargetTest, RefusedPostAndRemovedHooks) {
    SetMessageTargetHooks(Refuse, nullptr, nullptr);
    EXPECT_EQ(PostTargetMessage(1, 0x500, 0, 0), 0);
    EXPECT_EQ(PurgeTargetMessages(1, 0x500), 0);
    SetMessageTargetHooks(Post, nullptr, nullptr);
    EXPECT_EQ(PostTargetMessage(1, 0x500, 0, 0), 1);  // no alive hook: every target counts
    SetMessageTargetHooks(nullptr, nullptr, nullptr);
    EXPECT_EQ(PostTargetMessage(1, 0x500, 0, 0), 0);
    EXPECT_EQ(gPosted.size(), 1u);
}

}  // namespace
