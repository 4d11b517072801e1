// Collects the debug output's lines during a test (from any thread), so tests can check that a
// failure left its trace.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/dbg_output.h"

class LogCapture {
public:
    LogCapture() { DbgOutputAddCallback(&LogCapture::OnLine, reinterpret_cast<uintptr_t>(this)); }
    ~LogCapture() { DbgOutputDelCallback(&LogCapture::OnLine); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // True when a line (its message part) contains the text.
    bool Has(const std::string& text) const { return Count(text) > 0; }
    // How many lines contain the text.
    int Count(const std::string& text) const {
        std::lock_guard<std::mutex> hold(m_guard);
        int count = 0;
        for (const std::string& line : m_lines) {
            if (line.find(text) != std::string::npos) ++count;
        }
        return count;
    }
    std::string All() const {
        std::lock_guard<std::mutex> hold(m_guard);
        std::string all;
        for (const std::string& line : m_lines) all += line;
        return all;
    }

private:
    static int OnLine(uintptr_t userData, uint32_t, const char* line, int length) {
        auto* self = reinterpret_cast<LogCapture*>(userData);
        std::string text(line, static_cast<size_t>(length));
        const size_t marker = text.find("]=> ");
        if (marker != std::string::npos) text.erase(0, marker + 4);
        std::lock_guard<std::mutex> hold(self->m_guard);
        self->m_lines.push_back(text);
        return 1;
    }

    mutable std::mutex m_guard;
    std::vector<std::string> m_lines;
};
