// Message targets: how library code posts a window message without knowing any window system.
//
// A target is an opaque HWND value issued by the window layer (a handle id, never an object
// pointer). The window layer registers three hooks: post a message to a target's queue, purge the
// already queued messages of one identifier for one target, and tell whether a target still
// exists. Without hooks (the command-line program, most tests) nothing is posted. Posting to a
// target that is gone does nothing, silently, as on the original platform.
//
// The hooks may be called from any thread, with library locks held (the delayed posting engine
// posts under its queue lock): they must not block and must not wait for another thread. A post
// hook must tolerate a target that vanished after the alive check. SetMessageTargetHooks waits
// until hook calls in progress have returned, so once it returns the old hooks are never called
// again (so it must not be called from inside a hook). Every function here may be called from
// any thread.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

// Queues (msg, wParam, lParam) for the target; nonzero when it was queued.
using MessageTargetPostHook = int (*)(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam);
// Removes every queued, not yet handled message `msg` of the target, whatever its parameters;
// returns how many were removed.
using MessageTargetPurgeHook = int (*)(HWND target, uint32_t msg);
// Nonzero while the target exists.
using MessageTargetAliveHook = int (*)(HWND target);

// Installs the hooks (any may be null; all null uninstalls them).
ORBO_COMMON_API void SetMessageTargetHooks(MessageTargetPostHook post, MessageTargetPurgeHook purge,
                                           MessageTargetAliveHook alive);

// Posts through the hooks: 1 when the message was queued; 0 without a post hook, for a target
// the alive hook reports gone, or when the post hook refused it.
ORBO_COMMON_API int PostTargetMessage(HWND target, uint32_t msg, uint64_t wParam, int64_t lParam);

// Removes queued messages `msg` of the target through the purge hook; the number removed (0
// without a purge hook).
ORBO_COMMON_API int PurgeTargetMessages(HWND target, uint32_t msg);

// 1 while the target exists according to the alive hook; 0 for a gone target or without hooks.
ORBO_COMMON_API int IsTargetAlive(HWND target);
