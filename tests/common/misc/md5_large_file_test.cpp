// ctest-labels: slow
#include "misc/md5.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/misc/md5_test_support.h"
#include "core/unique_fd.h"
#include "core/utf_convert.h"
#include "support/temp_dir.h"

namespace {

using md5_test::Hex;
using md5_test::Md5sumOf;

// A file a little beyond 4 GiB, sparse except for marked stretches at its start, across the
// 4 GiB boundary and at its end: a size or offset kept in 32 bits would digest a different file.
TEST(GetFileMD5, FileBeyondFourGiBEqualsMd5sum) {
    constexpr off_t kSize = (off_t{1} << 32) + 12345;
    TempDir dir;
    const std::string path = dir.File("large.bin");
    {
        UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_TRUE(fd.Valid());
        ASSERT_EQ(ftruncate(fd.Get(), kSize), 0);
        std::vector<uint8_t> mark(70000);
        for (size_t i = 0; i < mark.size(); ++i) mark[i] = static_cast<uint8_t>(i * 13 + 1);
        for (off_t at : {off_t{0}, (off_t{1} << 32) - 30000, kSize - off_t{5000}}) {
            const size_t n = static_cast<size_t>(std::min<off_t>(mark.size(), kSize - at));
            ASSERT_EQ(pwrite(fd.Get(), mark.data(), n, at), static_cast<ssize_t>(n));
        }
        ASSERT_TRUE(fd.Close());
    }
    std::u16string wide;
    ASSERT_TRUE(Utf8ToUtf16(path, wide));
    uint8_t digest[MD5::kDigestBytes];
    ASSERT_EQ(GetFileMD5(wide.c_str(), digest), 1);
    EXPECT_EQ(Hex(digest), Md5sumOf(path));
}

}  // namespace
