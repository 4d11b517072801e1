// Internal to the string component (base_string.cpp, base_string_functions.cpp): the text
// algorithms shared by both widths and by the plain functions, and the one implementation of
// CBaseStringA/CBaseStringW behind their thin members. Not for other components.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "base_string.h"
#include "dbg_output.h"
#include "size_limits.h"
#include "text_format.h"
#include "utf_convert.h"

namespace base_string_internal {

// Longest text a string holds: its buffer (terminator included) stays within kMaxStringChars.
constexpr int64_t kMaxLength = static_cast<int64_t>(kMaxStringChars) - 1;

template <typename T>
constexpr T FoldAscii(T ch) {
    return (ch >= T('A') && ch <= T('Z')) ? T(ch - T('A') + T('a')) : ch;
}

template <typename T>
constexpr T UpperAscii(T ch) {
    return (ch >= T('a') && ch <= T('z')) ? T(ch - T('a') + T('A')) : ch;
}

template <typename T>
constexpr bool IsDigitChar(T ch) {
    return ch >= T('0') && ch <= T('9');
}

template <typename T>
constexpr bool IsAlphaChar(T ch) {
    return (ch >= T('A') && ch <= T('Z')) || (ch >= T('a') && ch <= T('z'));
}

template <typename T>
constexpr bool SameChar(T a, T b, bool ignoreCase) {
    return a == b || (ignoreCase && FoldAscii(a) == FoldAscii(b));
}

template <typename T>
bool SameText(const T* a, const T* b, size_t count, bool ignoreCase) {
    for (size_t i = 0; i < count; ++i) {
        if (!SameChar(a[i], b[i], ignoreCase)) return false;
    }
    return true;
}

template <typename T>
size_t TextLength(const T* text) {
    return std::basic_string_view<T>(text).size();
}

// Characters before the terminator, looking at no more than `limit`.
template <typename T>
size_t BoundedLength(const T* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != T(0)) ++n;
    return n;
}

// Index of the first occurrence of `needle` in `hay`, or npos. An empty needle matches at 0.
template <typename T>
size_t FindText(const T* hay, size_t hayLength, const T* needle, size_t needleLength,
                bool ignoreCase) {
    if (!ignoreCase) {
        return std::basic_string_view<T>(hay, hayLength)
            .find(std::basic_string_view<T>(needle, needleLength));
    }
    if (needleLength > hayLength) return std::basic_string_view<T>::npos;
    for (size_t at = 0; at + needleLength <= hayLength; ++at) {
        if (SameText(hay + at, needle, needleLength, true)) return at;
    }
    return std::basic_string_view<T>::npos;
}

// Characters of a text argument: null counts as empty, a negative length means "up to the
// terminator".
template <typename T>
int64_t ArgumentLength(const T* text, int length) {
    if (text == nullptr) return 0;
    if (length < 0) return static_cast<int64_t>(TextLength(text));
    return length;
}

// Exact conversion to the other width; false (and an empty result) when it cannot be converted.
inline bool ConvertView(std::string_view text, std::u16string& out) {
    out.clear();
    return Utf8ToUtf16(text, out);
}
inline bool ConvertView(std::u16string_view text, std::string& out) {
    out.clear();
    return Utf16ToUtf8(text, out);
}
template <typename T, typename Out>
bool ConvertText(const T* text, int length, Out& out) {
    if (text == nullptr) {
        out.clear();
        return true;
    }
    return ConvertView(std::basic_string_view<T>(text, ArgumentLength(text, length)), out);
}

// Runs an operation that builds temporary texts; memory exhaustion there leaves the string as
// it was instead of throwing across the interface.
template <typename F>
void Guarded(const char* owner, const char* operation, F&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        DbgOutputA(kDbgLevelError, "%s::%s failed (%s); string left unchanged\r\n", owner,
                   operation, e.what());
    }
}

template <typename S>
struct BaseStringCore {
    using T = typename S::CharType;
    using Other = std::conditional_t<std::is_same_v<T, char>, char16_t, char>;
    using Text = std::basic_string<T>;

    static constexpr const char* kOwner = std::is_same_v<T, char> ? "CBaseStringA" : "CBaseStringW";

    static bool Refused(int64_t length, const char* operation) {
        if (length <= kMaxLength) return false;
        DbgOutputA(kDbgLevelError,
                   "%s::%s refused: %lld characters exceed the limit of %lld; string left "
                   "unchanged\r\n",
                   kOwner, operation, static_cast<long long>(length),
                   static_cast<long long>(kMaxLength));
        return true;
    }

    static std::unique_ptr<T[]> Allocate(int64_t capacity, const char* operation) {
        std::unique_ptr<T[]> buffer(new (std::nothrow) T[static_cast<size_t>(capacity)]);
        if (!buffer) {
            DbgOutputA(kDbgLevelError,
                       "%s::%s: no memory for %lld characters; string left unchanged\r\n", kOwner,
                       operation, static_cast<long long>(capacity));
        }
        return buffer;
    }

    static const T* GetString(const S& s) {
        static const T kEmpty[1] = {T(0)};
        return s.m_text ? s.m_text.get() : kEmpty;
    }

    static void Free(S& s) {
        s.m_text.reset();
        s.m_length = 0;
        s.m_capacity = 0;
    }

    static void Move(S& to, S& from) {
        if (&to == &from) return;
        to.m_text = std::move(from.m_text);
        to.m_length = from.m_length;
        to.m_capacity = from.m_capacity;
        from.m_length = 0;
        from.m_capacity = 0;
    }

    // Set: a same-length text that differs at most in letter case changes nothing. The old
    // buffer lives until the new one is filled, so the text may lie inside it.
    static void SetText(S& s, const T* text, int64_t length, const char* operation = "Set") {
        if (text == nullptr) length = 0;
        if (Refused(length, operation)) return;
        if (length == s.m_length &&
            (length == 0 || SameText(s.m_text.get(), text, static_cast<size_t>(length), true))) {
            return;
        }
        if (length == 0) {
            Free(s);
            return;
        }
        const int64_t capacity = CapacityForRoom(0, length + 1, kMaxStringChars);
        std::unique_ptr<T[]> buffer = Allocate(capacity, operation);
        if (!buffer) return;
        std::memcpy(buffer.get(), text, static_cast<size_t>(length) * sizeof(T));
        buffer[length] = T(0);
        s.m_text = std::move(buffer);
        s.m_length = static_cast<int>(length);
        s.m_capacity = static_cast<int>(capacity);
    }

    // Append: when the buffer moves, the old one is released only after the new text was copied
    // from it, so a string may append (a part of) itself.
    static void AppendText(S& s, const T* text, int64_t length, const char* operation = "Append") {
        if (text == nullptr || length <= 0) return;
        const int64_t newLength = static_cast<int64_t>(s.m_length) + length;
        if (Refused(newLength, operation)) return;
        const int64_t capacity = CapacityForRoom(s.m_capacity, newLength + 1, kMaxStringChars);
        if (capacity != s.m_capacity) {
            std::unique_ptr<T[]> buffer = Allocate(capacity, operation);
            if (!buffer) return;
            if (s.m_length > 0) {
                std::memcpy(buffer.get(), s.m_text.get(),
                            static_cast<size_t>(s.m_length) * sizeof(T));
            }
            std::memcpy(buffer.get() + s.m_length, text, static_cast<size_t>(length) * sizeof(T));
            s.m_text = std::move(buffer);
            s.m_capacity = static_cast<int>(capacity);
        } else {
            std::memmove(s.m_text.get() + s.m_length, text,
                         static_cast<size_t>(length) * sizeof(T));
        }
        s.m_length = static_cast<int>(newLength);
        s.m_text[s.m_length] = T(0);
    }

    static void Trunk(S& s, int length) {
        if (length < 0) length = 0;
        if (length >= s.m_length) return;
        s.m_length = length;
        s.m_text[length] = T(0);
        const int64_t capacity = CapacityForRoom(s.m_capacity, length + 1, kMaxStringChars);
        if (capacity == s.m_capacity) return;
        // Without memory for the smaller buffer the larger one simply stays.
        std::unique_ptr<T[]> buffer(new (std::nothrow) T[static_cast<size_t>(capacity)]);
        if (!buffer) return;
        std::memcpy(buffer.get(), s.m_text.get(), static_cast<size_t>(length + 1) * sizeof(T));
        s.m_text = std::move(buffer);
        s.m_capacity = static_cast<int>(capacity);
    }

    static void Replace(S& s, const T* search, int64_t searchCount, const T* replacement,
                        int64_t replacementCount, int ignoreCase) {
        if (search == nullptr || replacement == nullptr || !s.m_text || searchCount <= 0) return;
        const T* text = s.m_text.get();
        const size_t length = static_cast<size_t>(s.m_length);
        Text result;
        size_t copied = 0;
        bool found = false;
        while (copied + static_cast<size_t>(searchCount) <= length) {
            const size_t at = FindText(text + copied, length - copied, search,
                                       static_cast<size_t>(searchCount), ignoreCase != 0);
            if (at == Text::npos) break;
            const int64_t resultLength = static_cast<int64_t>(result.size() + at) +
                                         replacementCount +
                                         static_cast<int64_t>(length - copied - at - searchCount);
            if (Refused(resultLength, "Replace")) return;
            result.append(text + copied, at);
            result.append(replacement, static_cast<size_t>(replacementCount));
            copied += at + static_cast<size_t>(searchCount);
            found = true;
        }
        if (!found) return;
        result.append(text + copied, length - copied);
        SetText(s, result.data(), static_cast<int64_t>(result.size()), "Replace");
    }

    static void RemoveCharList(S& s, const T* list, int64_t listCount, int ignoreCase) {
        if (list == nullptr || listCount <= 0 || !s.m_text) return;
        Text kept;
        kept.reserve(static_cast<size_t>(s.m_length));
        for (int i = 0; i < s.m_length; ++i) {
            const T ch = s.m_text[i];
            bool listed = false;
            for (int64_t k = 0; k < listCount && !listed; ++k) {
                listed = SameChar(ch, list[k], ignoreCase != 0);
            }
            if (!listed) kept.push_back(ch);
        }
        if (kept.size() == static_cast<size_t>(s.m_length)) return;
        SetText(s, kept.data(), static_cast<int64_t>(kept.size()), "RemoveCharList");
    }

    static int FindChar(const S& s, T ch, int start) {
        if (start < 0) start = 0;
        for (int i = start; i < s.m_length; ++i) {
            if (s.m_text[i] == ch) return i;
        }
        return -1;
    }

    static int Find(const S& s, const T* text, int start, int ignoreCase) {
        if (text == nullptr) return -1;
        const size_t count = TextLength(text);
        if (count == 0) return 0;
        if (start < 0) start = 0;
        if (start >= s.m_length) return -1;
        const size_t at = FindText(s.m_text.get() + start, static_cast<size_t>(s.m_length - start),
                                   text, count, ignoreCase != 0);
        return at == Text::npos ? -1 : start + static_cast<int>(at);
    }

    static int Equal(const S& s, const T* text, int64_t length, int ignoreCase) {
        if (text == nullptr) length = 0;
        if (length != s.m_length) return 0;
        return SameText(GetString(s), text, static_cast<size_t>(length), ignoreCase != 0) ? 1 : 0;
    }

    static int StartWith(const S& s, const T* text, int64_t length, int ignoreCase) {
        if (text == nullptr || length == 0) return s.m_length == 0 ? 1 : 0;
        if (length > s.m_length) return 0;
        return SameText(GetString(s), text, static_cast<size_t>(length), ignoreCase != 0) ? 1 : 0;
    }

    template <typename Test>
    static int Every(const S& s, Test test) {
        if (!s.m_text) return 0;
        for (int i = 0; i < s.m_length; ++i) {
            if (!test(s.m_text[i])) return 0;
        }
        return 1;
    }

    static void ToLower(S& s) {
        for (int i = 0; i < s.m_length; ++i) s.m_text[i] = FoldAscii(s.m_text[i]);
    }
    static void ToUpper(S& s) {
        for (int i = 0; i < s.m_length; ++i) s.m_text[i] = UpperAscii(s.m_text[i]);
    }
    static void Revert(S& s) {
        for (int i = 0, j = s.m_length - 1; i < j; ++i, --j) std::swap(s.m_text[i], s.m_text[j]);
    }

    // The other width's text, converted; an unconvertible text becomes empty.
    static Text Converted(const Other* text, int length, bool* ok = nullptr) {
        Text out;
        const bool converted = ConvertText(text, length, out);
        if (ok != nullptr) *ok = converted;
        return out;
    }

    // Formats in the format's own width and converts to the string's width. False when the
    // result cannot be converted (the text is then empty).
    template <typename F>
    static bool FormatInto(Text& out, const F* format, va_list args, const char* operation) {
        if (format == nullptr) {
            out.clear();
            return true;
        }
        std::basic_string<F> formatted;
        if (!FormatTextV(formatted, format, args)) {
            DbgOutputA(kDbgLevelError,
                       "%s::%s: faulty format or argument; keeping the %zu characters formatted "
                       "before the fault\r\n",
                       kOwner, operation, formatted.size());
        }
        if constexpr (std::is_same_v<F, T>) {
            out = std::move(formatted);
            return true;
        } else {
            return ConvertView(std::basic_string_view<F>(formatted), out);
        }
    }

    template <typename F>
    static void Format(S& s, const F* format, va_list args) {
        Guarded(kOwner, "Format", [&] {
            Text out;
            FormatInto(out, format, args, "Format");
            SetText(s, out.data(), static_cast<int64_t>(out.size()), "Format");
        });
    }

    template <typename F>
    static void AppendFormat(S& s, const F* format, va_list args) {
        Guarded(kOwner, "AppendFormat", [&] {
            Text out;
            FormatInto(out, format, args, "AppendFormat");
            AppendText(s, out.data(), static_cast<int64_t>(out.size()), "AppendFormat");
        });
    }
};

}  // namespace base_string_internal
