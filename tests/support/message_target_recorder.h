// Stands in for the program's windows behind the message-target hooks: records what is posted
// and purged, and treats every target as alive until the test says it is gone. One recorder is
// current at a time (the hooks are plain functions); it removes the hooks in its destructor.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "core/message_target.h"

struct PostedMessage {
    HWND target;
    uint32_t msg;
    uint64_t wParam;
    int64_t lParam;
    uint64_t atMs;                             // the library's monotonic clock at the post
    std::chrono::steady_clock::time_point at;  // the same instant on a clock that is not its
};

class MessageTargetRecorder {
public:
    // purgeResult: what the purge hook answers.
    explicit MessageTargetRecorder(int purgeResult = 0);
    ~MessageTargetRecorder();
    MessageTargetRecorder(const MessageTargetRecorder&) = delete;
    MessageTargetRecorder& operator=(const MessageTargetRecorder&) = delete;

    // Installs all three hooks; tests that want only some pass the static hooks themselves.
    void InstallHooks() const;
    static int Post(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam);
    static int Purge(HWND target, uint32_t msg);
    static int Alive(HWND target);

    std::vector<PostedMessage> Posted() const;
    size_t PostedCount() const;
    std::vector<std::pair<HWND, uint32_t>> Purged() const;
    void MarkGone(HWND target);

private:
    const int m_purgeResult;
    mutable std::mutex m_mutex;
    std::vector<PostedMessage> m_posted;
    std::vector<std::pair<HWND, uint32_t>> m_purged;
    std::set<HWND> m_gone;
};
