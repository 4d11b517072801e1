#include "platform/window_message.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include <mutex>
#include <unordered_map>
#include <utility>

#include "core/message_target.h"

namespace {

// The first handle issued; small numbers are left free so that a stray integer is never taken
// for a window.
constexpr HWND kFirstHandle = 0x10000;

QEvent::Type WorkEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class WorkEvent : public QEvent {
public:
    explicit WorkEvent(std::function<void()> work)
        : QEvent(WorkEventType()), m_work(std::move(work)) {}
    void Run() { m_work(); }

private:
    std::function<void()> m_work;
};

// Per (target, msg): messages posted since the last purge carry the current generation; a purge
// counts and invalidates them by moving to the next generation.
struct MessageCount {
    uint64_t generation = 0;
    int queued = 0;
};

struct TargetEntry {
    QObject* receiver = nullptr;
    QPointer<QObject> window;
    std::unordered_map<uint32_t, MessageCount> counts;
};

// Never destroyed: workers may post while the process exits.
struct Registry {
    std::mutex mutex;
    std::unordered_map<HWND, TargetEntry> targets;
    HWND nextHandle = kFirstHandle;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// The hooks run on any thread with library locks held: they only take the registry's lock and
// queue an event, never wait for another thread.
int PostHook(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto it = registry.targets.find(target);
    if (it == registry.targets.end()) return 0;
    MessageCount& count = it->second.counts[msg];
    ++count.queued;
    // The receiver cannot be deleted meanwhile: unregistering takes this lock first.
    QCoreApplication::postEvent(it->second.receiver,
                                new WindowMessageEvent(msg, wParam, lParam, count.generation));
    return 1;
}

int PurgeHook(HWND target, uint32_t msg) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto it = registry.targets.find(target);
    if (it == registry.targets.end()) return 0;
    auto found = it->second.counts.find(msg);
    if (found == it->second.counts.end()) return 0;
    const int removed = found->second.queued;
    found->second.queued = 0;
    ++found->second.generation;
    return removed;
}

int AliveHook(HWND target) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    return registry.targets.count(target) != 0 ? 1 : 0;
}

}  // namespace

WindowMessageEvent::WindowMessageEvent(uint32_t msg, uint64_t wParam, int64_t lParam,
                                       uint64_t generation)
    : QEvent(Type()), m_msg(msg), m_wParam(wParam), m_lParam(lParam), m_generation(generation) {}

QEvent::Type WindowMessageEvent::Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Lives on the window thread and receives the target's events; it outlives the handle only when
// the target is destroyed from inside one of its own handlers (then it is deleted later).
class WindowMessageTarget::Receiver : public QObject {
public:
    Receiver(HWND handle, Handler handler) : m_handle(handle), m_handler(std::move(handler)) {}

    bool InHandler() const { return m_depth > 0; }

    bool event(QEvent* event) override {
        if (event->type() == WindowMessageEvent::Type()) {
            auto* message = static_cast<WindowMessageEvent*>(event);
            if (TakeQueued(*message))
                Dispatch([&] { m_handler(message->Msg(), message->WParam(), message->LParam()); });
            return true;
        }
        if (event->type() == WorkEventType()) {
            if (AliveHook(m_handle) != 0) Dispatch([&] { static_cast<WorkEvent*>(event)->Run(); });
            return true;
        }
        return QObject::event(event);
    }

private:
    // True when the message is still wanted: its target lives and it was not purged.
    bool TakeQueued(const WindowMessageEvent& message) {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.mutex);
        auto it = registry.targets.find(m_handle);
        if (it == registry.targets.end()) return false;
        MessageCount& count = it->second.counts[message.Msg()];
        if (message.Generation() != count.generation) return false;
        if (count.queued > 0) --count.queued;
        return true;
    }

    template <typename F>
    void Dispatch(F&& call) {
        ++m_depth;
        call();
        --m_depth;
    }

    HWND m_handle;
    Handler m_handler;
    int m_depth = 0;
};

WindowMessageTarget::WindowMessageTarget(Handler handler, QObject* window) {
    InstallWindowMessageHooks();
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    m_handle = registry.nextHandle++;
    m_receiver = std::make_unique<Receiver>(m_handle, std::move(handler));
    TargetEntry& entry = registry.targets[m_handle];
    entry.receiver = m_receiver.get();
    entry.window = window;
}

WindowMessageTarget::~WindowMessageTarget() {
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.mutex);
        registry.targets.erase(m_handle);
    }
    // Deleting the receiver drops the events still queued for it; from inside its own handler
    // it must wait until the handler has returned.
    if (m_receiver->InHandler()) {
        m_receiver.release()->deleteLater();
    }
}

int WindowMessageTarget::Post(uint32_t msg, uint64_t wParam, int64_t lParam) const {
    return PostTargetMessage(m_handle, msg, wParam, lParam);
}

void InstallWindowMessageHooks() {
    static std::once_flag once;
    std::call_once(once, [] { SetMessageTargetHooks(&PostHook, &PurgeHook, &AliveHook); });
}

QObject* FindTargetWindow(HWND target) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto it = registry.targets.find(target);
    return it == registry.targets.end() ? nullptr : it->second.window.data();
}

int RunOnWindowThread(HWND target, std::function<void()> work) {
    if (!work) return 0;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto it = registry.targets.find(target);
    if (it == registry.targets.end()) return 0;
    QCoreApplication::postEvent(it->second.receiver, new WorkEvent(std::move(work)));
    return 1;
}
