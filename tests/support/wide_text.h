// UTF-8 test texts (paths mostly) as the UTF-16 that the wide functions take.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/utf_convert.h"

// The exact conversion; a text that does not convert fails the test.
inline std::u16string WideText(const std::string& text) {
    std::u16string out;
    EXPECT_TRUE(Utf8ToUtf16(text, out)) << text;
    return out;
}
