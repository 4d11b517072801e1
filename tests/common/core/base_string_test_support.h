// Helpers shared by the string tests: width-neutral literals and the content of a string as a
// standard string (with the shared capture of debug lines).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "support/log_capture.h"

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
