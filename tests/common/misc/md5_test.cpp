#include "misc/md5.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/misc/md5_test_support.h"
#include "core/utf_convert.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"
#include "support/wide_text.h"

namespace {

using md5_test::Hex;
using md5_test::Md5sumOf;

std::string DigestOf(const std::string& text) {
    MD5 md5(text.data(), text.size());
    return Hex(md5.digest());
}

// The deterministic test pattern: byte i is (i * 7 + 3) mod 251.
std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 3) % 251);
    return bytes;
}

struct DigestCase {
    const char* text;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const DigestCase kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    // "1234567890" eight times
    {"1234567890"
     "1234567890"
     "1234567890"
     "1234567890"
     "1234567890"
     "1234567890"
     "1234567890"
     "1234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(MD5, Rfc1321SuiteInOneUpdate) {
    for (const auto& c : kRfc1321Suite) EXPECT_EQ(DigestOf(c.text), c.digest) << c.text;
}

TEST(MD5, Rfc1321SuiteByteByByte) {
    for (const auto& c : kRfc1321Suite) {
        MD5 md5;
        for (size_t i = 0; i < std::strlen(c.text); ++i) md5.update(c.text + i, 1);
        EXPECT_EQ(Hex(md5.digest()), c.digest) << c.text;
    }
}

TEST(MD5, EmptyDigestOfAFreshObject) {
    MD5 md5;
    EXPECT_EQ(Hex(md5.digest()), "d41d8cd98f00b204e9800998ecf8427e");
}

struct ContinueCase {
    std::string first;
    std::string second;
    const char*
        digest;  // python3 -c "import hashlib; print(hashlib.md5(FIRST + SECOND).hexdigest())"
};

TEST(MD5, DigestCanBeReadAndContinued) {
    const ContinueCase cases[] = {
        {"abc", "def", "e80b5017098950fc58aad83c8c14978e"},
        // 60 bytes buffered at the first digest: its padding needs a second block.
        {std::string(60, 'a'), std::string(10, 'b'), "034d376fa528b0770b2492b0ca261497"},
    };
    for (const auto& c : cases) {
        MD5 md5;
        md5.update(c.first.data(), c.first.size());
        EXPECT_EQ(Hex(md5.digest()), DigestOf(c.first));
        md5.update(c.second.data(), c.second.size());
        EXPECT_EQ(Hex(md5.digest()), c.digest) << c.first.size() << " bytes first";
    }
}

TEST(MD5, RepeatedDigestReturnsTheSameBytes) {
    MD5 md5("abc", 3);
    const uint8_t* first = md5.digest();
    const std::string firstHex = Hex(first);
    const uint8_t* second = md5.digest();
    EXPECT_EQ(first, second);
    EXPECT_EQ(Hex(second), firstHex);
}

TEST(MD5, ResetStartsAfresh) {
    MD5 md5("some earlier text", 17);
    md5.digest();
    md5.reset();
    md5.update("abc", 3);
    EXPECT_EQ(Hex(md5.digest()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(MD5, NullOrEmptyUpdateAddsNothing) {
    MD5 md5("abc", 3);
    md5.update(nullptr, 10);
    md5.update("zzz", 0);
    EXPECT_EQ(Hex(md5.digest()), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(MD5, PiecesOfAnySizeGiveTheWholeDigest) {
    // python3 -c "import hashlib; print(hashlib.md5(bytes((i*7+3)%251 for i in
    //   range(1000003))).hexdigest())"
    const char* expected = "28b0b496b72319ce7afb09d03b830187";
    const std::vector<uint8_t> data = Pattern(1000003);
    for (size_t chunk : {1u, 55u, 63u, 64u, 65u, 4096u, 1000003u}) {
        MD5 md5;
        for (size_t at = 0; at < data.size(); at += chunk) {
            md5.update(data.data() + at, std::min(chunk, data.size() - at));
        }
        EXPECT_EQ(Hex(md5.digest()), expected) << "chunk " << chunk;
    }
}

TEST(GetFileMD5, EqualsMd5sumAcrossReadBlocks) {
    TempDir dir;
    for (size_t size : {1u, 64u, 1000u, kMD5FileBlockBytes, 3 * kMD5FileBlockBytes + 17}) {
        const std::string path = dir.File("data_" + std::to_string(size) + ".bin");
        ASSERT_TRUE(WriteWholeFile(path, Pattern(size)));
        uint8_t digest[MD5::kDigestBytes];
        EXPECT_EQ(GetFileMD5(WideText(path).c_str(), digest), 1) << size;
        EXPECT_EQ(Hex(digest), Md5sumOf(path)) << size << " bytes";
    }
}

TEST(GetFileMD5, TakesWidePathsBeyondAscii) {
    TempDir dir;
    const std::string path = dir.File("\xE6\x95\xB0\xE6\x8D\xAE.bin");  // "数据.bin"
    ASSERT_TRUE(WriteWholeFile(path, Pattern(5000)));
    uint8_t digest[MD5::kDigestBytes];
    EXPECT_EQ(GetFileMD5(WideText(path).c_str(), digest), 1);
    EXPECT_EQ(Hex(digest), Md5sumOf(path));
}

TEST(GetFileMD5, EmptyMissingOrUnreadableFilesLeaveZeroBytes) {
    TempDir dir;
    const std::string empty = dir.File("empty.bin");
    ASSERT_TRUE(WriteWholeFile(empty, ""));
    const std::string zero(32, '0');

    uint8_t digest[MD5::kDigestBytes];
    std::memset(digest, 0xAA, sizeof(digest));
    EXPECT_EQ(GetFileMD5(WideText(empty).c_str(), digest), 1);
    EXPECT_EQ(Hex(digest), zero);

    std::memset(digest, 0xAA, sizeof(digest));
    EXPECT_EQ(GetFileMD5(WideText(dir.File("missing.bin")).c_str(), digest), 0);
    EXPECT_EQ(Hex(digest), zero);

    // A folder opens but cannot be read as a file.
    std::memset(digest, 0xAA, sizeof(digest));
    EXPECT_EQ(GetFileMD5(WideText(dir.Path().string()).c_str(), digest), 0);
    EXPECT_EQ(Hex(digest), zero);

    std::memset(digest, 0xAA, sizeof(digest));
    EXPECT_EQ(GetFileMD5(nullptr, digest), 0);
    EXPECT_EQ(Hex(digest), zero);
}

// A source of the test pattern that may fail or end early after `limit` bytes and hands out at
// most `step` bytes per read.
struct PatternSource {
    std::vector<uint8_t> bytes;
    size_t limit;
    size_t step;
    bool failAtLimit;
    size_t position = 0;

    int64_t Read(uint8_t* buffer, size_t capacity) {
        if (position >= limit) return failAtLimit ? -1 : 0;
        const size_t n = std::min({capacity, step, limit - position});
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        return static_cast<int64_t>(n);
    }
};

TEST(DigestReadMD5, ShortReadsAreContinued) {
    const size_t size = 2 * kMD5FileBlockBytes + 5;
    PatternSource source{Pattern(size), size, 777, false};
    uint8_t digest[MD5::kDigestBytes];
    ASSERT_EQ(DigestReadMD5([&](uint8_t* b, size_t c) { return source.Read(b, c); }, size, digest),
              1);
    MD5 whole(source.bytes.data(), size);
    EXPECT_EQ(Hex(digest), Hex(whole.digest()));
}

TEST(DigestReadMD5, FailureOrEarlyEndPartWayGivesNoDigest) {
    const size_t size = 3 * kMD5FileBlockBytes;
    for (bool fail : {true, false}) {
        PatternSource source{Pattern(size), kMD5FileBlockBytes + kMD5FileBlockBytes / 2, 65536,
                             fail};
        uint8_t digest[MD5::kDigestBytes];
        std::memset(digest, 0x5A, sizeof(digest));
        EXPECT_EQ(
            DigestReadMD5([&](uint8_t* b, size_t c) { return source.Read(b, c); }, size, digest), 0)
            << (fail ? "read error" : "early end");
        EXPECT_EQ(Hex(digest), "5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a") << "digest must stay untouched";
    }
}

}  // namespace
