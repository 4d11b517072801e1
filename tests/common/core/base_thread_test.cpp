#include "core/base_thread.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/dbg_output.h"
#include "support/log_capture.h"
#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;

constexpr uint64_t kLongWaitMs = 10000;  // bounds waits that only a fault would exhaust
constexpr uint64_t kPollMs = 5;          // pace of polling bodies
constexpr auto kQuietWindow = 50ms;      // a window in which nothing is expected to happen

// A body driven by a function; counts calls and returns and remembers its thread.
class FuncBody : public IThreadFuncInterface {
public:
    explicit FuncBody(std::function<int(uint64_t)> step) : m_step(std::move(step)) {}
    int ThreadLoop(uint64_t param) override {
        tid = static_cast<uint32_t>(gettid());
        lastParam = param;
        calls.fetch_add(1);
        const int again = m_step(param);
        returns.fetch_add(1);
        return again;
    }
    std::atomic<int> calls{0};
    std::atomic<int> returns{0};
    std::atomic<uint32_t> tid{0};
    std::atomic<uint64_t> lastParam{0};

private:
    std::function<int(uint64_t)> m_step;
};

int ThreadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') ++count;
        }
        closedir(dir);
    }
    return count;
}

std::string KernelName(uint32_t tid) {
    std::ifstream comm("/proc/self/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string Message(const char* format, const std::string& name, uint32_t tid) {
    char text[512];
    snprintf(text, sizeof(text), format, name.c_str(), tid, tid);
    return text;
}

void ExpectIdle(CBaseThread& thread) {
    EXPECT_EQ(thread.IsThreadExit(), 1);
    EXPECT_EQ(thread.GetThreadHandle(), 0u);
    EXPECT_EQ(thread.GetThreadId(), 0u);
}

TEST(BaseThread, FreshObjectIsIdle) {
    CBaseThread thread;
    ExpectIdle(thread);
    EXPECT_EQ(thread.IsThreadNeedExit(), 0);
    EXPECT_STREQ(thread.GetThreadName(), "");
}

TEST(BaseThread, RunsEndsAndKeepsItsHandleUntilStopped) {
    CBaseEvent release;
    FuncBody body([&](uint64_t) {
        release.Wait(kLongWaitMs);
        return 0;
    });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Worker", &body, 7, 0, 0x400000, 0), 1);
    EXPECT_EQ(thread.IsThreadExit(), 0);
    const ThreadHandle handle = thread.GetThreadHandle();
    EXPECT_NE(handle, 0u);
    ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 1; }));
    EXPECT_EQ(thread.GetThreadId(), body.tid.load());
    EXPECT_EQ(ThreadIdFromHandle(handle), body.tid.load());
    EXPECT_EQ(body.lastParam.load(), 7u);
    EXPECT_STREQ(thread.GetThreadName(), "Worker");

    release.Set();
    ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
    EXPECT_EQ(thread.GetThreadHandle(), handle);
    EXPECT_EQ(body.calls.load(), 1);

    thread.StopThread();
    ExpectIdle(thread);
    EXPECT_EQ(ThreadIdFromHandle(handle), 0u);
}

TEST(BaseThread, StartOnRunningObjectKeepsTheRunningThread) {
    CBaseEvent release(nullptr, 1);
    FuncBody first([&](uint64_t) { return release.Wait(kPollMs) == 1 ? 0 : 1; });
    FuncBody second([](uint64_t) { return 0; });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("First", &first, 1, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return first.calls.load() >= 1; }));
    const ThreadHandle handle = thread.GetThreadHandle();
    const uint32_t id = thread.GetThreadId();
    const int threads = ThreadCount();

    EXPECT_EQ(thread.StartThread("Second", &second, 2, 0, 0, 0), 1);
    EXPECT_EQ(thread.GetThreadHandle(), handle);
    EXPECT_EQ(thread.GetThreadId(), id);
    EXPECT_STREQ(thread.GetThreadName(), "First");
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(WaitUntil([&] { return second.calls.load() != 0; }, kQuietWindow));
    EXPECT_EQ(first.lastParam.load(), 1u);

    release.Set();
    thread.StopThread();
    EXPECT_EQ(second.calls.load(), 0);
}

TEST(BaseThread, StartAfterTheBodyEndedRunsAFreshThread) {
    FuncBody body([](uint64_t) { return 0; });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Once", &body, 1, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
    const ThreadHandle oldHandle = thread.GetThreadHandle();
    ASSERT_NE(oldHandle, 0u);

    ASSERT_EQ(thread.StartThread("Twice", &body, 2, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 2; }));
    EXPECT_EQ(body.lastParam.load(), 2u);
    EXPECT_NE(thread.GetThreadHandle(), oldHandle);
    EXPECT_EQ(ThreadIdFromHandle(oldHandle), 0u);
    EXPECT_STREQ(thread.GetThreadName(), "Twice");
    thread.StopThread();
    ExpectIdle(thread);
}

TEST(BaseThread, NamesAreCutToWhatFits) {
    const std::string twoByte = "\xC3\xA9";  // é
    std::string nineTwoByte;
    for (int i = 0; i < 9; ++i) nineTwoByte += twoByte;
    std::string sevenTwoByte;
    for (int i = 0; i < 7; ++i) sevenTwoByte += twoByte;
    struct Case {
        const char* label;
        const char* name;  // null = none given
        std::string stored;
        std::string kernel;
    };
    const std::string longName(200, 'n');
    const std::string exact(127, 'x');
    const std::string splitAt127 = std::string(126, 'a') + twoByte;
    const Case cases[] = {
        {"ordinary", "ReadData", "ReadData", "ReadData"},
        {"none", nullptr, "", ""},
        {"200 characters", longName.c_str(), std::string(127, 'n'), std::string(15, 'n')},
        {"exactly 127", exact.c_str(), exact, std::string(15, 'x')},
        {"no split character", splitAt127.c_str(), std::string(126, 'a'), std::string(15, 'a')},
        {"multibyte kernel cut", nineTwoByte.c_str(), nineTwoByte, sevenTwoByte},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CBaseEvent release;
        FuncBody body([&](uint64_t) {
            release.Wait(kLongWaitMs);
            return 0;
        });
        CBaseThread thread;
        ASSERT_EQ(thread.StartThread(c.name, &body, 0, 0, 0, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 1; }));
        EXPECT_EQ(std::string(thread.GetThreadName()), c.stored);
        EXPECT_EQ(KernelName(thread.GetThreadId()), c.kernel);
        release.Set();
        thread.StopThread();
    }
}

TEST(BaseThread, PauseHoldsTheNextCallNeverTheCurrentOne) {
    CBaseEvent release;  // auto-reset: one Set lets one call return
    FuncBody body([&](uint64_t) {
        release.Wait(kLongWaitMs);
        return 1;
    });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Pausing", &body, 0, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 1; }));

    thread.PauseThread();
    release.Set();
    ASSERT_TRUE(WaitUntil([&] { return body.returns.load() == 1; }));
    EXPECT_FALSE(WaitUntil([&] { return body.calls.load() != 1; }, kQuietWindow));
    EXPECT_EQ(thread.IsThreadExit(), 0);

    thread.ResumeThread();
    ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 2; }));

    // Stopping a paused thread waits for the call in progress, then no call follows.
    thread.PauseThread();
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        thread.StopThread();
        stopped = true;
    });
    EXPECT_FALSE(WaitUntil([&] { return stopped.load(); }, kQuietWindow));
    release.Set();
    stopper.join();
    EXPECT_EQ(body.returns.load(), 2);
    EXPECT_EQ(body.calls.load(), 2);
    ExpectIdle(thread);
}

TEST(BaseThread, StartAfterStoppingAPausedThreadRunsAgain) {
    CBaseEvent pace;
    FuncBody body([&](uint64_t) {
        pace.Wait(uint64_t{1});
        return 1;
    });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Paused", &body, 0, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return body.calls.load() >= 1; }));
    thread.PauseThread();
    thread.StopThread();
    ExpectIdle(thread);
    const int calls = body.calls.load();
    ASSERT_EQ(thread.StartThread("Paused", &body, 0, 0, 0, 0), 1);
    EXPECT_TRUE(WaitUntil([&] { return body.calls.load() > calls + 1; }));
    thread.StopThread();
}

// The system's pattern: a body that waits on an event with a time limit and polls the
// need-exit flag, either inside one long call or one wait per call.
TEST(BaseThread, StopThreadEndsABodyWaitingOnAnEvent) {
    for (const bool loopsInsideOneCall : {true, false}) {
        SCOPED_TRACE(loopsInsideOneCall);
        CBaseThread thread;
        CBaseEvent work;
        std::atomic<int> handled{0};
        FuncBody body([&](uint64_t) {
            do {
                if (work.Wait(kPollMs) == 1) handled.fetch_add(1);
            } while (loopsInsideOneCall && thread.IsThreadNeedExit() == 0);
            return loopsInsideOneCall ? 0 : 1;
        });
        ASSERT_EQ(thread.StartThread("Waiter", &body, 0, 0, 0x400000, 0), 1);
        work.Set();
        ASSERT_TRUE(WaitUntil([&] { return handled.load() == 1; }));
        ASSERT_TRUE(WaitUntil([&] { return work.IsWaiting() == 1; }));
        thread.StopThread();
        ExpectIdle(thread);
        EXPECT_EQ(thread.IsThreadNeedExit(), 1);
        EXPECT_EQ(body.calls.load(), body.returns.load());
    }
}

TEST(BaseThread, StopThreadImmediateEndsIdleAndTheBodyIsNeverCalledAgain) {
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused);
        LogCapture log;
        CBaseEvent pace;
        FuncBody body([&](uint64_t) {
            pace.Wait(uint64_t{1});
            return 1;
        });
        CBaseThread thread;
        ASSERT_EQ(thread.StartThread("Immediate", &body, 0, 0, 0, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return body.calls.load() >= 3; }));
        if (paused) thread.PauseThread();
        thread.StopThreadImmediate();
        ExpectIdle(thread);
        const int calls = body.calls.load();
        EXPECT_EQ(body.returns.load(), calls);
        EXPECT_FALSE(WaitUntil([&] { return body.calls.load() != calls; }, kQuietWindow));
        EXPECT_FALSE(log.Has("prepare exit thread"));
        EXPECT_FALSE(log.Has("thread exit over"));
    }
}

TEST(BaseThread, AutoDetachReleasesHandleAndIdWhenTheBodyEnds) {
    for (const int autoDetach : {0, 1}) {
        SCOPED_TRACE(autoDetach);
        LogCapture log;
        CBaseEvent release;
        FuncBody body([&](uint64_t) {
            release.Wait(kLongWaitMs);
            return 0;
        });
        CBaseThread thread;
        ASSERT_EQ(thread.StartThread("Detach", &body, 0, 0, 0, autoDetach), 1);
        ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 1; }));
        const ThreadHandle handle = thread.GetThreadHandle();
        const uint32_t id = thread.GetThreadId();
        ASSERT_NE(handle, 0u);
        release.Set();
        ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
        const std::string detachLine =
            Message("thread auto detach exit over, name=%s, tid=%u(0x%08x)\r\n", "Detach", id);
        if (autoDetach != 0) {
            ASSERT_TRUE(WaitUntil(
                [&] { return thread.GetThreadHandle() == 0 && thread.GetThreadId() == 0; }));
            EXPECT_EQ(ThreadIdFromHandle(handle), 0u);
            EXPECT_TRUE(log.WaitFor(detachLine, LogMatch::Exact));
        } else {
            EXPECT_FALSE(
                WaitUntil([&] { return thread.GetThreadHandle() != handle; }, kQuietWindow));
            EXPECT_EQ(thread.GetThreadId(), id);
            EXPECT_LT(log.Find(detachLine, LogMatch::Exact), 0);
        }
        thread.StopThread();
        ExpectIdle(thread);
    }
}

TEST(BaseThread, LogsStartAndStopWithTheFullHandleAndId) {
    LogCapture log;
    CBaseEvent release;
    FuncBody body([&](uint64_t) {
        release.Wait(kLongWaitMs);
        return 0;
    });
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("LogCheck", &body, 0, 0, 0, 0), 1);
    const ThreadHandle handle = thread.GetThreadHandle();
    const uint32_t id = thread.GetThreadId();
    char created[256];
    snprintf(created, sizeof(created),
             "thread create success, thread handle=0x%016" PRIxPTR ", id=%u, name=LogCheck\r\n",
             handle, id);
    const std::string information =
        Message("thread information, name=%s, tid=%u(0x%08x)\r\n", "LogCheck", id);
    ASSERT_TRUE(log.WaitFor(information, LogMatch::Exact));
    EXPECT_GE(log.Find(created, LogMatch::Exact), 0);
    EXPECT_LT(log.Find(created, LogMatch::Exact), log.Find(information, LogMatch::Exact));

    release.Set();
    thread.StopThread();
    const int exitLine = log.Find(
        Message("thread exit, name=%s, tid=%u(0x%08x)\r\n", "LogCheck", id), LogMatch::Exact);
    const int prepare =
        log.Find(Message("prepare exit thread..., name=%s, tid=%u(0x%08x)\r\n", "LogCheck", id),
                 LogMatch::Exact);
    const int over = log.Find(
        Message("thread exit over, name=%s, tid=%u(0x%08x)\r\n", "LogCheck", id), LogMatch::Exact);
    EXPECT_GE(exitLine, 0);
    EXPECT_GE(prepare, 0);
    EXPECT_GT(over, exitLine);
    EXPECT_GT(over, prepare);
}

TEST(BaseThread, NullBodyThreadEndsByItself) {
    CBaseThread thread;
    ASSERT_EQ(thread.StartThread("Empty", nullptr, 0, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
    thread.StopThread();
    ExpectIdle(thread);
}

TEST(BaseThread, BodyMayStopItsOwnThread) {
    const std::function<void(CBaseThread&)> stops[] = {
        [](CBaseThread& t) { t.StopThread(); },
        [](CBaseThread& t) { t.StopThreadImmediate(); },
    };
    for (const auto& stop : stops) {
        const int threadsBefore = ThreadCount();
        CBaseThread thread;
        std::atomic<int> idleInsideBody{-1};
        FuncBody body([&](uint64_t) {
            stop(thread);
            idleInsideBody = thread.IsThreadExit() == 1 && thread.GetThreadHandle() == 0 &&
                             thread.GetThreadId() == 0;
            return 1;
        });
        ASSERT_EQ(thread.StartThread("SelfStop", &body, 0, 0, 0, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return body.returns.load() == 1; }));
        EXPECT_EQ(idleInsideBody.load(), 1);
        ExpectIdle(thread);
        EXPECT_FALSE(WaitUntil([&] { return body.calls.load() != 1; }, kQuietWindow));
        // The released thread goes away by itself and the object starts anew.
        EXPECT_TRUE(WaitUntil([&] { return ThreadCount() == threadsBefore; }));
        FuncBody next([](uint64_t) { return 0; });
        ASSERT_EQ(thread.StartThread("Next", &next, 0, 0, 0, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
        EXPECT_EQ(next.calls.load(), 1);
    }
}

TEST(BaseThread, BodyStoppingItselfWhileAnotherThreadStopsItDoesNotDeadlock) {
    CBaseThread thread;
    CBaseEvent pace;
    FuncBody body([&](uint64_t) {
        while (thread.IsThreadNeedExit() == 0) pace.Wait(uint64_t{1});
        thread.StopThreadImmediate();  // the other stopper holds the lock and joins this thread
        return 1;
    });
    ASSERT_EQ(thread.StartThread("Both", &body, 0, 0, 0, 0), 1);
    ASSERT_TRUE(WaitUntil([&] { return body.calls.load() == 1; }));
    thread.StopThread();
    ExpectIdle(thread);
    EXPECT_EQ(body.calls.load(), 1);
    EXPECT_EQ(body.returns.load(), 1);
}

TEST(BaseThread, DestructorStopsTheThread) {
    CBaseEvent pace;
    FuncBody body([&](uint64_t) {
        pace.Wait(uint64_t{1});
        return 1;
    });
    {
        CBaseThread thread;
        ASSERT_EQ(thread.StartThread("Scoped", &body, 0, 0, 0, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return body.calls.load() >= 2; }));
    }
    const int calls = body.calls.load();
    EXPECT_EQ(body.returns.load(), calls);
    EXPECT_FALSE(WaitUntil([&] { return body.calls.load() != calls; }, kQuietWindow));
}

TEST(BaseThread, StackSizeIsAppliedAndRoundedUp) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t minimum = (static_cast<size_t>(PTHREAD_STACK_MIN) + page - 1) / page * page;
    // The thread may report a little less than asked (TLS and guard inside the mapping) or
    // more (a larger cached stack is reused), so only a lower bound is checked; a request far
    // above the usual default shows that the size is applied at all.
    constexpr size_t kSlack = 64 * 1024;
    struct Case {
        int requested;
        size_t expected;  // 0 = the platform default, whatever it is
    };
    const Case cases[] = {
        {0x4000000, 0x4000000},
        {0x400000, 0x400000},
        {0x10001, 0x10001 + page - 1 - (0x10001 + page - 1) % page},
        {1, minimum},
        {0, 0},
        {-5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requested);
        std::atomic<size_t> stackBytes{0};
        FuncBody body([&](uint64_t) {
            pthread_attr_t attr;
            size_t bytes = 0;
            if (pthread_getattr_np(pthread_self(), &attr) == 0) {
                pthread_attr_getstacksize(&attr, &bytes);
                pthread_attr_destroy(&attr);
            }
            stackBytes = bytes;
            return 0;
        });
        CBaseThread thread;
        ASSERT_EQ(thread.StartThread("Stack", &body, 0, 0, c.requested, 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
        thread.StopThread();
        if (c.expected == 0) {
            EXPECT_GT(stackBytes.load(), 0u);
        } else {
            EXPECT_GE(stackBytes.load() + kSlack, c.expected);
        }
    }
}

// Start and stop many times in every way a thread can end: nothing hangs, no thread is left
// behind and every handle is distinct and released.
TEST(BaseThread, ThousandStartStopCyclesLeaveNothingBehind) {
    constexpr int kCycles = 1000;
    const int threadsBefore = ThreadCount();
    FuncBody spinning([](uint64_t) { return 1; });
    FuncBody once([](uint64_t) { return 0; });
    CBaseThread thread;
    std::set<ThreadHandle> handles;
    size_t seen = 0;
    for (int i = 0; i < kCycles; ++i) {
        const int mode = i % 5;
        IThreadFuncInterface* body = mode == 2 || mode == 4 ? &once : &spinning;
        ASSERT_EQ(thread.StartThread("Cycle", body, static_cast<uint64_t>(i), 0, 0x200000,
                                     mode == 4 ? 1 : 0),
                  1);
        // An auto-detached body that ends at once may have released its handle already.
        const ThreadHandle handle = thread.GetThreadHandle();
        if (mode != 4) {
            ASSERT_NE(handle, 0u);
        }
        if (handle != 0) {
            ++seen;
            handles.insert(handle);
        }
        switch (mode) {
            case 0:
                thread.StopThread();
                break;
            case 1:
                thread.StopThreadImmediate();
                break;
            case 2:
                // ended by itself; the next start reaps it
                ASSERT_TRUE(WaitUntil([&] { return thread.IsThreadExit() == 1; }));
                break;
            case 3:
                thread.PauseThread();
                thread.StopThread();
                break;
            case 4:
                ASSERT_TRUE(WaitUntil([&] { return thread.GetThreadHandle() == 0; }));
                break;
        }
    }
    thread.StopThread();
    ExpectIdle(thread);
    EXPECT_EQ(handles.size(), seen);
    EXPECT_GE(seen, static_cast<size_t>(kCycles) * 4 / 5);
    for (const ThreadHandle handle : handles) ASSERT_EQ(ThreadIdFromHandle(handle), 0u);
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

}  // namespace
