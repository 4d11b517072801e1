#include "support/message_target_recorder.h"

#include <atomic>

#include "core/mono_clock.h"

namespace {

std::atomic<MessageTargetRecorder*> gCurrent{nullptr};

}  // namespace

MessageTargetRecorder::MessageTargetRecorder(int purgeResult) : m_purgeResult(purgeResult) {
    gCurrent = this;
}

MessageTargetRecorder::~MessageTargetRecorder() {
    SetMessageTargetHooks(nullptr, nullptr, nullptr);
    gCurrent = nullptr;
}

void MessageTargetRecorder::InstallHooks() const {
    SetMessageTargetHooks(&Post, &Purge, &Alive);
}

int MessageTargetRecorder::Post(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam) {
    MessageTargetRecorder* self = gCurrent;
    if (self == nullptr) return 0;
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_posted.push_back(
        {target, msg, wParam, lParam, MonoTimeMs(), std::chrono::steady_clock::now()});
    return 1;
}

int MessageTargetRecorder::Purge(HWND target, uint32_t msg) {
    MessageTargetRecorder* self = gCurrent;
    if (self == nullptr) return 0;
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_purged.emplace_back(target, msg);
    return self->m_purgeResult;
}

int MessageTargetRecorder::Alive(HWND target) {
    MessageTargetRecorder* self = gCurrent;
    if (self == nullptr) return 0;
    std::lock_guard<std::mutex> lock(self->m_mutex);
    return self->m_gone.count(target) == 0 ? 1 : 0;
}

std::vector<PostedMessage> MessageTargetRecorder::Posted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_posted;
}

size_t MessageTargetRecorder::PostedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_posted.size();
}

std::vector<std::pair<HWND, uint32_t>> MessageTargetRecorder::Purged() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_purged;
}

void MessageTargetRecorder::MarkGone(HWND target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_gone.insert(target);
}
