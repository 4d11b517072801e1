// ctest-labels: unit
// Built with common/core itself on the include path, as a user of the installed headers may set
// it up: no header there may take the name of a system header (<limits.h> is reached through
// <climits> and <atomic>), or this file stops compiling.
#include <limits.h>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>

#include "size_limits.h"

namespace {

TEST(SizeLimits, SystemLimitsAndTheLibrarysOwnLimitsAreBothReachable) {
    std::atomic<int> counter{INT_MAX - 1};
    ++counter;
    EXPECT_EQ(counter.load(), INT_MAX);
    EXPECT_EQ(CHAR_BIT, 8);
    // The library's limits stay within what their types index.
    EXPECT_LE(kMaxStringChars, static_cast<uint32_t>(INT_MAX));
    EXPECT_LT(kMaxPathChars, PATH_MAX);
    EXPECT_LE(kMaxKernelThreadNameBytes, kMaxThreadNameChars);
}

}  // namespace
