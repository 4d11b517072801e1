// What the MD5 tests compare against: a digest as lowercase hex, and the md5sum program's digest
// of a file; and a file's digest as the library writes it into firmware indexes.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/base_string.h"
#include "core/hex_text.h"
#include "core/utf_convert.h"
#include "misc/md5.h"
#include "support/process_runner.h"

namespace md5_test {

// Long enough for md5sum to read a file beyond 4 GiB on a busy machine; only a hang reaches it.
constexpr std::chrono::seconds kMd5sumDeadline{240};

inline std::string Hex(const uint8_t* digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < MD5::kDigestBytes; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

// What the md5sum program says about a file (the first 32 characters of its output line), or
// why it said nothing.
inline std::string Md5sumOf(const std::string& path) {
    ProcessOptions options;
    options.deadline = kMd5sumDeadline;
    const ProcessResult run = RunProcess({"md5sum", "--", path}, options);
    if (!run.started) return run.error;
    if (run.exitCode != 0 || run.out.size() < 32) return "md5sum failed: " + run.err;
    return run.out.substr(0, 32);
}

// The file's digest as the library's hex text; empty when the file cannot be read.
inline std::string LibraryMd5Of(const std::string& path) {
    std::u16string wide;
    uint8_t digest[MD5::kDigestBytes];
    if (!Utf8ToUtf16(path, wide) || GetFileMD5(wide.c_str(), digest) == 0) return {};
    CBaseStringA text;
    BufferToHexStringA(digest, MD5::kDigestBytes, &text, 0, 0);
    return text.GetString();
}

}  // namespace md5_test
