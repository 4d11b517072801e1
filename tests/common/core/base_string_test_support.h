// Helpers shared by the string tests: width-neutral literals, the content of a string as a
// standard string, and a recorder of error lines from the debug output.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/base_string.h"
#include "core/dbg_output.h"

template <typename S>
using CharOf = typename S::CharType;

// An ASCII literal in the width of the string under test.
template <typename Char>
std::basic_string<Char> L(std::string_view ascii) {
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

// The string's content, with its exact length.
template <typename S>
std::basic_string<CharOf<S>> Text(const S& s) {
    return std::basic_string<CharOf<S>>(s.GetString(), static_cast<size_t>(s.GetLength()));
}

// Collects the error lines (level 4) written while it lives.
class ErrorLineRecorder {
public:
    ErrorLineRecorder() { DbgOutputAddCallback(&Record, reinterpret_cast<uintptr_t>(this)); }
    ~ErrorLineRecorder() { DbgOutputDelCallback(&Record); }
    ErrorLineRecorder(const ErrorLineRecorder&) = delete;
    ErrorLineRecorder& operator=(const ErrorLineRecorder&) = delete;

    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    static int Record(uintptr_t userData, uint32_t level, const char* line, int length) {
        if (level == kDbgLevelError) {
            reinterpret_cast<ErrorLineRecorder*>(userData)->m_lines.emplace_back(
                line, static_cast<size_t>(length));
        }
        return 1;
    }

    std::vector<std::string> m_lines;
};
