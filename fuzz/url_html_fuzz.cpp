// Feeds arbitrary bytes to the URL and HTML text coding and checks what must hold for any input:
// decoding an encoded text gives the original bytes back, decoding never lengthens a text, and
// the wide text of HtmlCodeToString is well-formed UTF-16 appended behind what was there.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/utf_convert.h"
#include "misc/url_html_coding.h"

namespace {

// Inputs beyond this add no new paths, only time.
constexpr size_t kMaxInputBytes = 1 << 16;

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInputBytes) return 0;
    const char* text = reinterpret_cast<const char*>(data);
    const int length = static_cast<int>(size);

    CBaseStringA decoded;
    DecodeURL(text, length, decoded);
    Check(decoded.GetLength() <= length);

    CBaseStringA encoded;
    EncodeURL(text, length, encoded);
    CBaseStringA roundTrip;
    DecodeURL(encoded.GetString(), encoded.GetLength(), roundTrip);
    Check(roundTrip.GetLength() == length);
    Check(size == 0 || std::memcmp(roundTrip.GetString(), text, size) == 0);

    CBaseStringW wide(u"<");
    HtmlCodeToString(text, length, wide);
    Check(wide.GetLength() >= 1 && wide.GetString()[0] == u'<');
    std::string narrow;
    Check(Utf16ToUtf8(std::u16string_view(wide.GetString(), wide.GetLength()), narrow));

    // The terminator-delimited forms on a zero-terminated copy.
    const std::string terminated(text, size);
    CBaseStringW fromTerminated;
    HtmlCodeToString(terminated.c_str(), -1, fromTerminated);
    CBaseStringA decodedTerminated;
    DecodeURL(terminated.c_str(), -1, decodedTerminated);
    return 0;
}
