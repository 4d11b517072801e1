// Window messages as Qt events, and windows as message targets.
//
// A window that takes messages owns a WindowMessageTarget: it issues the window's HWND (a handle
// id, never an object pointer) and hands every message posted to that handle to the window's
// handler, on the window thread, in posting order. The handles are what the library's message
// target hooks (core/message_target.h) see, so the delayed posting engine and the workers post
// to windows with PostTargetMessage; the hooks are installed when the first target is created.
//
// Once a target is destroyed its handle is gone for good (handles are never reused): posting to
// it does nothing and returns 0, messages still queued for it are dropped unseen, and work queued
// with RunOnWindowThread for it never runs.
//
// Threads: a WindowMessageTarget is created and destroyed on the window thread (the thread of
// the QApplication); PostTargetMessage, PurgeTargetMessages, IsTargetAlive and
// RunOnWindowThread may be called from any thread.
#pragma once

#include <QEvent>

#include <cstdint>
#include <functional>
#include <memory>

#include "core/platform_types.h"

class QObject;

// The event that carries one posted message to its target.
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(uint32_t msg, uint64_t wParam, int64_t lParam, uint64_t generation);

    // The event type registered for window messages (the same for the whole run).
    static QEvent::Type Type();

    uint32_t Msg() const { return m_msg; }
    uint64_t WParam() const { return m_wParam; }
    int64_t LParam() const { return m_lParam; }
    // The purge generation of (target, msg) at posting time; older ones were purged.
    uint64_t Generation() const { return m_generation; }

private:
    uint32_t m_msg;
    uint64_t m_wParam;
    int64_t m_lParam;
    uint64_t m_generation;
};

class WindowMessageTarget {
public:
    using Handler = std::function<void(uint32_t msg, uint64_t wParam, int64_t lParam)>;

    // Registers a target whose messages go to `handler`. `window` (may be null) is the widget
    // the handle stands for, answered by FindTargetWindow. Window thread only.
    explicit WindowMessageTarget(Handler handler, QObject* window = nullptr);
    // Unregisters the handle; queued messages and work for it are dropped. Window thread only.
    ~WindowMessageTarget();

    WindowMessageTarget(const WindowMessageTarget&) = delete;
    WindowMessageTarget& operator=(const WindowMessageTarget&) = delete;

    HWND Handle() const { return m_handle; }

    // PostTargetMessage to this target.
    int Post(uint32_t msg, uint64_t wParam, int64_t lParam) const;

private:
    class Receiver;
    HWND m_handle = 0;
    std::unique_ptr<Receiver> m_receiver;
};

// Installs the window layer's post, purge and alive hooks with SetMessageTargetHooks (once;
// later calls do nothing). Creating the first target does it too.
void InstallWindowMessageHooks();

// The widget a live handle stands for, or null (gone, or registered without one). Window
// thread only: the answer is only safe to use there.
QObject* FindTargetWindow(HWND target);

// Queues `work` to run on the window thread in the target's message order. Returns 1 when it was
// queued, 0 when the target is gone; work queued for a target that goes away before it runs is
// dropped, so it may touch the target's widgets. Any thread, the window thread included (the
// work then runs later, never inside the call).
int RunOnWindowThread(HWND target, std::function<void()> work);
