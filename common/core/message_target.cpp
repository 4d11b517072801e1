#include "message_target.h"

#include <mutex>
#include <shared_mutex>

namespace {

struct Hooks {
    MessageTargetPostHook post = nullptr;
    MessageTargetPurgeHook purge = nullptr;
    MessageTargetAliveHook alive = nullptr;
};

// Readers are hook calls; the writer (installing hooks) waits for them, so old hooks are not
// called once SetMessageTargetHooks has returned. Never destroyed: threads may post while the
// process exits.
struct HookTable {
    std::shared_mutex mutex;
    Hooks hooks;
};

HookTable& Table() {
    static HookTable* table = new HookTable;
    return *table;
}

}  // namespace

void SetMessageTargetHooks(MessageTargetPostHook post, MessageTargetPurgeHook purge,
                           MessageTargetAliveHook alive) {
    HookTable& table = Table();
    std::unique_lock<std::shared_mutex> guard(table.mutex);
    table.hooks = Hooks{post, purge, alive};
}

int PostTargetMessage(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam) {
    HookTable& table = Table();
    std::shared_lock<std::shared_mutex> guard(table.mutex);
    const Hooks& hooks = table.hooks;
    if (hooks.post == nullptr) return 0;
    if (hooks.alive != nullptr && hooks.alive(target) == 0) return 0;
    return hooks.post(target, msg, wParam, lParam) != 0 ? 1 : 0;
}

int PurgeTargetMessages(HWND target, uint32_t msg) {
    HookTable& table = Table();
    std::shared_lock<std::shared_mutex> guard(table.mutex);
    if (table.hooks.purge == nullptr) return 0;
    const int removed = table.hooks.purge(target, msg);
    return removed > 0 ? removed : 0;
}

int IsTargetAlive(HWND target) {
    HookTable& table = Table();
    std::shared_lock<std::shared_mutex> guard(table.mutex);
    if (table.hooks.alive == nullptr) return 0;
    return table.hooks.alive(target) != 0 ? 1 : 0;
}
