// Collects the debug output's lines during a test, so tests can check that a failure left its
// trace. One capture serves every test: it takes the lines of every thread or of the
// constructing thread only, of every level or of one, and matches texts exactly or by part.
// Any number of captures may live at once, on any threads; each sees every line written while
// it lives (registration ends in the destructor).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/dbg_output.h"

// Bounds waiting for a line that only a fault would keep away.
constexpr std::chrono::milliseconds kLogLineDeadline{10000};

enum class LogThreads {
    All,  // lines of every thread (the library's own threads log too)
    Own,  // lines of the thread that constructed the capture
};

enum class LogMatch {
    Contains,  // the message contains the text
    Exact,     // the message is the text
};

struct LogCaptureOptions {
    LogThreads threads = LogThreads::All;
    std::optional<uint32_t> level = std::nullopt;  // only lines of this level; all when empty
};

struct CapturedLine {
    uint32_t level = 0;
    std::string line;     // the whole line as written, prefix included
    std::string message;  // the part after "]=> " (the whole line when there is no prefix)
};

class LogCapture {
public:
    explicit LogCapture(LogCaptureOptions options = {});
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<CapturedLine> Lines() const;
    std::vector<std::string> Messages() const;
    // The whole lines, prefixes included.
    std::vector<std::string> Texts() const;
    // Every message, one after the other (for failure output).
    std::string All() const;

    // How many messages match the text.
    int Count(const std::string& text, LogMatch match = LogMatch::Contains) const;
    bool Has(const std::string& text, LogMatch match = LogMatch::Contains) const;
    // True when a line of that level matches the text.
    bool Has(uint32_t level, const std::string& text, LogMatch match = LogMatch::Contains) const;
    bool HasLevel(uint32_t level) const;
    // Position of the first matching message, or -1.
    int Find(const std::string& text, LogMatch match = LogMatch::Contains) const;
    // Waits until a message matches (true) or the deadline passes (false).
    bool WaitFor(const std::string& text, LogMatch match = LogMatch::Contains,
                 std::chrono::milliseconds deadline = kLogLineDeadline) const;

    void Clear();

private:
    friend class LogCaptureRegistry;
    void Take(uint32_t level, const char* line, int length);
    int FindLocked(const std::string& text, LogMatch match) const;

    const LogCaptureOptions m_options;
    const std::thread::id m_thread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_added;
    std::vector<CapturedLine> m_lines;
};
