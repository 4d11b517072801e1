#include "support/log_capture.h"

#include <algorithm>

// The debug output knows a callback by its function, so one dispatcher is registered for all
// captures and hands each line to every living capture. Lock order: the debug output's own
// lock, then m_dispatch, then a capture's; m_registration is taken only outside a line, and
// before the debug output's lock, so no order is ever reversed.
class LogCaptureRegistry {
public:
    static void Add(LogCapture* capture) {
        std::lock_guard<std::mutex> registration(m_registration);
        {
            std::lock_guard<std::mutex> dispatch(m_dispatch);
            Captures().push_back(capture);
        }
        DbgOutputAddCallback(&LogCaptureRegistry::Dispatch, 0);
    }

    static void Remove(LogCapture* capture) {
        std::lock_guard<std::mutex> registration(m_registration);
        bool last = false;
        {
            std::lock_guard<std::mutex> dispatch(m_dispatch);
            std::erase(Captures(), capture);
            last = Captures().empty();
        }
        if (last) DbgOutputDelCallback(&LogCaptureRegistry::Dispatch);
    }

private:
    static std::vector<LogCapture*>& Captures() {
        static std::vector<LogCapture*> captures;
        return captures;
    }

    static int Dispatch(uintptr_t, uint32_t level, const char* line, int length) {
        std::lock_guard<std::mutex> dispatch(m_dispatch);
        for (LogCapture* capture : Captures()) capture->Take(level, line, length);
        return 1;
    }

    static inline std::mutex m_registration;
    static inline std::mutex m_dispatch;
};

namespace {

bool Matches(const std::string& message, const std::string& text, LogMatch match) {
    return match == LogMatch::Exact ? message == text : message.find(text) != std::string::npos;
}

}  // namespace

LogCapture::LogCapture(LogCaptureOptions options)
    : m_options(options), m_thread(std::this_thread::get_id()) {
    LogCaptureRegistry::Add(this);
}

LogCapture::~LogCapture() {
    LogCaptureRegistry::Remove(this);
}

void LogCapture::Take(uint32_t level, const char* line, int length) {
    if (m_options.level && *m_options.level != level) return;
    if (m_options.threads == LogThreads::Own && std::this_thread::get_id() != m_thread) return;
    CapturedLine captured{level, std::string(line, static_cast<size_t>(length)), {}};
    const size_t mark = captured.line.find("]=> ");
    captured.message = mark == std::string::npos ? captured.line : captured.line.substr(mark + 4);
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_lines.push_back(std::move(captured));
    }
    m_added.notify_all();
}

std::vector<CapturedLine> LogCapture::Lines() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_lines;
}

std::vector<std::string> LogCapture::Messages() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    std::vector<std::string> messages;
    for (const CapturedLine& line : m_lines) messages.push_back(line.message);
    return messages;
}

std::vector<std::string> LogCapture::Texts() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    std::vector<std::string> texts;
    for (const CapturedLine& line : m_lines) texts.push_back(line.line);
    return texts;
}

std::string LogCapture::All() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    std::string all;
    for (const CapturedLine& line : m_lines) all += line.message;
    return all;
}

int LogCapture::Count(const std::string& text, LogMatch match) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return static_cast<int>(std::count_if(
        m_lines.begin(), m_lines.end(),
        [&](const CapturedLine& line) { return Matches(line.message, text, match); }));
}

bool LogCapture::Has(const std::string& text, LogMatch match) const {
    return Find(text, match) >= 0;
}

bool LogCapture::Has(uint32_t level, const std::string& text, LogMatch match) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return std::any_of(m_lines.begin(), m_lines.end(), [&](const CapturedLine& line) {
        return line.level == level && Matches(line.message, text, match);
    });
}

bool LogCapture::HasLevel(uint32_t level) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const CapturedLine& line) { return line.level == level; });
}

int LogCapture::Find(const std::string& text, LogMatch match) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return FindLocked(text, match);
}

int LogCapture::FindLocked(const std::string& text, LogMatch match) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (Matches(m_lines[i].message, text, match)) return static_cast<int>(i);
    }
    return -1;
}

bool LogCapture::WaitFor(const std::string& text, LogMatch match,
                         std::chrono::milliseconds deadline) const {
    std::unique_lock<std::mutex> hold(m_mutex);
    return m_added.wait_for(hold, deadline, [&] { return FindLocked(text, match) >= 0; });
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_lines.clear();
}
