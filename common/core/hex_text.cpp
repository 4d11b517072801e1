#include "hex_text.h"

#include <string>

#include "base_string.h"
#include "dbg_output.h"
#include "text_chars_internal.h"
#include "utf_convert.h"

using namespace orbo_text;

namespace {

constexpr int kDefaultDumpBytesPerLine = 16;
constexpr int kMaxBitFieldWidth = 64;

template <typename Char>
int IsHexStringT(const Char* text, int length) {
    length = ResolveLength(text, length);
    const int start = HexPrefixLength(text, length);
    if (start >= length) return 0;
    for (int i = start; i < length; ++i) {
        if (HexDigitValue(text[i]) < 0) return 0;
    }
    return 1;
}

template <typename Char>
void ByteToHexT(uint8_t value, Char* out, int upperCase) {
    if (out == nullptr) return;
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    out[0] = Char(digits[value >> 4]);
    out[1] = Char(digits[value & 0x0F]);
    out[2] = Char(0);
}

// Hexadecimal text of a buffer: blanks between bytes when asked, "\r\n" instead of the blank
// after every bytesPerLine bytes when bytesPerLine > 0.
std::string HexText(const void* data, int size, bool withBlank, int bytesPerLine, int upperCase) {
    std::string text;
    if (data == nullptr || size <= 0) return text;
    const auto* bytes = static_cast<const uint8_t*>(data);
    text.reserve(static_cast<size_t>(size) * 3);
    for (int i = 0; i < size; ++i) {
        if (i > 0) {
            if (bytesPerLine > 0 && i % bytesPerLine == 0) {
                text += "\r\n";
            } else if (withBlank) {
                text += ' ';
            }
        }
        char digits[3];
        ByteToHexT(bytes[i], digits, upperCase);
        text.append(digits, 2);
    }
    return text;
}

template <typename String>
void Replace(String* out, const std::string& text) {
    out->Free();
    out->Append(text.c_str(), static_cast<int>(text.size()));
}

template <typename Char>
uint64_t HexValue(const Char* text, int length) {
    length = ResolveLength(text, length);
    uint64_t value = 0;
    for (int i = HexPrefixLength(text, length); i < length; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) break;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return value;
}

template <typename Char>
constexpr bool IsLineSpace(Char ch) {
    return ch == Char(' ') || ch == Char('\t') || ch == Char('\r') || ch == Char('\n');
}

// Decodes pairs of digits; `store` receives each byte and returns false when no more fit.
template <typename Char, typename Store>
int HexBytes(const Char* text, int length, Store store) {
    length = ResolveLength(text, length);
    int count = 0;
    int i = HexPrefixLength(text, length);
    while (i < length) {
        if (IsLineSpace(text[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= length) break;
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) break;
        if (!store(static_cast<uint8_t>(high << 4 | low))) break;
        ++count;
        i += 2;
    }
    return count;
}

template <typename Char>
int HexStringToBufferT(const Char* text, int length, void* out, int outSize) {
    if (out == nullptr || outSize <= 0) return 0;
    auto* bytes = static_cast<uint8_t*>(out);
    int stored = 0;
    return HexBytes(text, length, [&](uint8_t value) {
        if (stored >= outSize) return false;
        bytes[stored++] = value;
        return true;
    });
}

template <typename Char>
std::string HexStringToBytes(const Char* text, int length) {
    std::string bytes;
    HexBytes(text, length, [&](uint8_t value) {
        bytes += static_cast<char>(value);
        return true;
    });
    return bytes;
}

template <typename Char>
uint64_t BinValue(const Char* text, int length) {
    length = ResolveLength(text, length);
    uint64_t value = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] != Char('0') && text[i] != Char('1')) break;
        value = (value << 1) | (text[i] == Char('1') ? 1u : 0u);
    }
    return value;
}

bool IsValidBitField(const void* buffer, int bufferSize, int firstBit, int lastBit) {
    if (buffer == nullptr || bufferSize <= 0 || firstBit < 0 || lastBit < firstBit) return false;
    if (lastBit - firstBit >= kMaxBitFieldWidth) return false;
    return static_cast<int64_t>(lastBit) < static_cast<int64_t>(bufferSize) * 8;
}

}  // namespace

int IsHexCharA(char ch) {
    return HexDigitValue(ch) >= 0 ? 1 : 0;
}
int IsHexCharW(WCHAR ch) {
    return HexDigitValue(ch) >= 0 ? 1 : 0;
}

int IsHexStringA(const char* text, int length) {
    return IsHexStringT(text, length);
}
int IsHexStringW(const WCHAR* text, int length) {
    return IsHexStringT(text, length);
}

void ByteToHexA(uint8_t value, char* out, int upperCase) {
    ByteToHexT(value, out, upperCase);
}
void ByteToHexW(uint8_t value, WCHAR* out, int upperCase) {
    ByteToHexT(value, out, upperCase);
}

void BufferToHexStringA(const void* data, int size, CBaseStringA* out, int withBlank,
                        int upperCase) {
    if (out != nullptr) Replace(out, HexText(data, size, withBlank != 0, 0, upperCase));
}

void BufferToHexStringW(const void* data, int size, CBaseStringW* out, int withBlank,
                        int upperCase) {
    if (out != nullptr) Replace(out, HexText(data, size, withBlank != 0, 0, upperCase));
}

void FormatBufferToHexStringA(const void* data, int size, CBaseStringA* out, int bytesPerLine,
                              int upperCase) {
    if (out != nullptr) Replace(out, HexText(data, size, true, bytesPerLine, upperCase));
}

void FormatBufferToHexStringW(const void* data, int size, CBaseStringW* out, int bytesPerLine,
                              int upperCase) {
    if (out != nullptr) Replace(out, HexText(data, size, true, bytesPerLine, upperCase));
}

uint8_t HexStringToByteA(const char* text, int length) {
    return static_cast<uint8_t>(HexValue(text, length));
}
uint8_t HexStringToByteW(const WCHAR* text, int length) {
    return static_cast<uint8_t>(HexValue(text, length));
}
uint32_t HexStringToUint32A(const char* text, int length) {
    return static_cast<uint32_t>(HexValue(text, length));
}
uint32_t HexStringToUint32W(const WCHAR* text, int length) {
    return static_cast<uint32_t>(HexValue(text, length));
}
uint64_t HexStringToUint64A(const char* text, int length) {
    return HexValue(text, length);
}
uint64_t HexStringToUint64W(const WCHAR* text, int length) {
    return HexValue(text, length);
}

int HexStringToBufferA(const char* text, int length, void* out, int outSize) {
    return HexStringToBufferT(text, length, out, outSize);
}
int HexStringToBufferW(const WCHAR* text, int length, void* out, int outSize) {
    return HexStringToBufferT(text, length, out, outSize);
}

int HexStringToStringA(const char* text, int length, CBaseStringA* out) {
    const std::string bytes = HexStringToBytes(text, length);
    if (out != nullptr) Replace(out, bytes);
    return static_cast<int>(bytes.size());
}

int HexStringToStringW(const WCHAR* text, int length, CBaseStringW* out) {
    const std::string bytes = HexStringToBytes(text, length);
    if (out != nullptr) {
        std::u16string wide;
        out->Free();
        if (Utf8ToUtf16(bytes, wide)) out->Append(wide.c_str(), static_cast<int>(wide.size()));
    }
    return static_cast<int>(bytes.size());
}

int StringFromHexA(const char* text, int length, char* out, int outSize) {
    if (out == nullptr || outSize < 1) return 0;
    const int count = HexStringToBufferT(text, length, out, outSize - 1);
    out[count] = '\0';
    return count;
}

void PrintHexBuffer(const void* address, int length, int bytesPerLine) {
    if (address == nullptr || length <= 0) return;
    if (bytesPerLine <= 0) bytesPerLine = kDefaultDumpBytesPerLine;
    DbgOutputA(kDbgLevelInfo, "PrintHexBuffer: addr=%p\r\n", address);
    const auto* bytes = static_cast<const uint8_t*>(address);
    for (int row = 0; row < length; row += bytesPerLine) {
        const int end = row + bytesPerLine < length ? row + bytesPerLine : length;
        std::string line;
        char piece[32];
        snprintf(piece, sizeof piece, "%08x-%08x:", static_cast<unsigned>(row),
                 static_cast<unsigned>(end - 1));
        line += piece;
        for (int i = row; i < end; ++i) {
            snprintf(piece, sizeof piece, " %02x", bytes[i]);
            line += piece;
        }
        DbgOutputA(kDbgLevelInfo, "%s\r\n", line.c_str());
    }
}

uint8_t BinStringToByteA(const char* text, int length) {
    return static_cast<uint8_t>(BinValue(text, length));
}
uint8_t BinStringToByteW(const WCHAR* text, int length) {
    return static_cast<uint8_t>(BinValue(text, length));
}
uint64_t BinStringToUINT64A(const char* text, int length) {
    return BinValue(text, length);
}
uint64_t BinStringToUINT64W(const WCHAR* text, int length) {
    return BinValue(text, length);
}

int SetBufferValueByBit(void* buffer, int bufferSize, int firstBit, int lastBit, uint64_t value) {
    if (!IsValidBitField(buffer, bufferSize, firstBit, lastBit)) return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int bit = firstBit; bit <= lastBit; ++bit) {
        const uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
        if ((value >> (bit - firstBit)) & 1u) {
            bytes[bit / 8] |= mask;
        } else {
            bytes[bit / 8] &= static_cast<uint8_t>(~mask);
        }
    }
    return 1;
}

uint64_t GetBufferValueByBit(const void* buffer, int bufferSize, int firstBit, int lastBit) {
    if (!IsValidBitField(buffer, bufferSize, firstBit, lastBit)) return 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint64_t value = 0;
    for (int bit = lastBit; bit >= firstBit; --bit) {
        value = (value << 1) | ((bytes[bit / 8] >> (bit % 8)) & 1u);
    }
    return value;
}
