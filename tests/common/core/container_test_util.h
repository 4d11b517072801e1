// Helpers for the buffer and container tests: entries from integers, contents as vectors, and a
// capture of the debug lines written while it lives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "core/ptr_ctrl.h"

inline void* Entry(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

inline std::vector<uintptr_t> Contents(CPtrCtrl& container) {
    std::vector<uintptr_t> values;
    for (int i = 0; i < container.GetCount(); ++i) {
        values.push_back(reinterpret_cast<uintptr_t>(container.GetAt(i)));
    }
    return values;
}

inline void Fill(CPtrCtrl& container, const std::vector<uintptr_t>& values) {
    container.DeleteAll();
    for (uintptr_t value : values) container.AddData(Entry(value), -1);
}

// Records the level and the message (the text after "]=> ") of every debug line.
class DbgLineCapture {
public:
    struct Line {
        uint32_t level;
        std::string message;
    };

    DbgLineCapture() {
        DbgOutputAddCallback(&DbgLineCapture::OnLine, reinterpret_cast<uintptr_t>(this));
    }
    ~DbgLineCapture() { DbgOutputDelCallback(&DbgLineCapture::OnLine); }
    DbgLineCapture(const DbgLineCapture&) = delete;
    DbgLineCapture& operator=(const DbgLineCapture&) = delete;

    const std::vector<Line>& Lines() const { return m_lines; }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const Line& line : m_lines) messages.push_back(line.message);
        return messages;
    }
    bool HasLevel(uint32_t level) const {
        for (const Line& line : m_lines) {
            if (line.level == level) return true;
        }
        return false;
    }

private:
    static int OnLine(uintptr_t userData, uint32_t level, const char* line, int length) {
        std::string text(line, static_cast<size_t>(length));
        const size_t marker = text.find("]=> ");
        if (marker != std::string::npos) text.erase(0, marker + 4);
        reinterpret_cast<DbgLineCapture*>(userData)->m_lines.push_back({level, text});
        return 1;
    }

    std::vector<Line> m_lines;
};
