// CBaseStringW: wide (UTF-16) members over the shared implementation.
#include "base_string.h"
#include "base_string_internal.h"

using namespace base_string_internal;

namespace {

using CoreW = BaseStringCore<CBaseStringW>;

}  // namespace

CBaseStringW::CBaseStringW(const WCHAR* text, int length) {
    Set(text, length);
}
CBaseStringW::CBaseStringW(const char* text, int length) {
    Set(text, length);
}
CBaseStringW::CBaseStringW(const CBaseStringW& other) {
    Set(&other);
}
CBaseStringW::CBaseStringW(const CBaseStringA& other) {
    Set(&other);
}
CBaseStringW::CBaseStringW(const CBaseStringW* other) {
    Set(other);
}
CBaseStringW::CBaseStringW(const CBaseStringA* other) {
    Set(other);
}
CBaseStringW::CBaseStringW(CBaseStringW&& other) noexcept {
    CoreW::Move(*this, other);
}
CBaseStringW::~CBaseStringW() = default;

CBaseStringW& CBaseStringW::operator=(const CBaseStringW& other) {
    Set(&other);
    return *this;
}

CBaseStringW& CBaseStringW::operator=(CBaseStringW&& other) noexcept {
    CoreW::Move(*this, other);
    return *this;
}

void CBaseStringW::Set(const WCHAR* text, int length) {
    CoreW::SetText(*this, text, ArgumentLength(text, length));
}

void CBaseStringW::Set(const char* text, int length) {
    Guarded(CoreW::kOwner, "Set", [&] {
        const std::u16string converted = CoreW::Converted(text, length);
        CoreW::SetText(*this, converted.data(), static_cast<int64_t>(converted.size()));
    });
}

void CBaseStringW::Set(WCHAR ch) {
    CoreW::SetText(*this, &ch, 1);
}
void CBaseStringW::Set(char ch) {
    Set(&ch, 1);
}

void CBaseStringW::Set(const CBaseStringW* other) {
    if (other == nullptr) {
        CoreW::SetText(*this, nullptr, 0);
    } else {
        CoreW::SetText(*this, other->m_text.get(), other->m_length);
    }
}

void CBaseStringW::Set(const CBaseStringA* other) {
    if (other == nullptr) {
        CoreW::SetText(*this, nullptr, 0);
    } else {
        Set(other->GetString(), other->GetLength());
    }
}

void CBaseStringW::Append(const WCHAR* text, int length) {
    CoreW::AppendText(*this, text, ArgumentLength(text, length));
}

void CBaseStringW::Append(const char* text, int length) {
    Guarded(CoreW::kOwner, "Append", [&] {
        const std::u16string converted = CoreW::Converted(text, length);
        CoreW::AppendText(*this, converted.data(), static_cast<int64_t>(converted.size()));
    });
}

void CBaseStringW::Append(WCHAR ch) {
    CoreW::AppendText(*this, &ch, 1);
}
void CBaseStringW::Append(char ch) {
    Append(&ch, 1);
}

void CBaseStringW::Format(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    CoreW::Format(*this, format, args);
    va_end(args);
}

void CBaseStringW::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CoreW::Format(*this, format, args);
    va_end(args);
}

void CBaseStringW::AppendFormat(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    CoreW::AppendFormat(*this, format, args);
    va_end(args);
}

void CBaseStringW::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CoreW::AppendFormat(*this, format, args);
    va_end(args);
}

void CBaseStringW::FormatV(const WCHAR* format, va_list args) {
    CoreW::Format(*this, format, args);
}
void CBaseStringW::FormatV(const char* format, va_list args) {
    CoreW::Format(*this, format, args);
}
void CBaseStringW::AppendFormatV(const WCHAR* format, va_list args) {
    CoreW::AppendFormat(*this, format, args);
}
void CBaseStringW::AppendFormatV(const char* format, va_list args) {
    CoreW::AppendFormat(*this, format, args);
}

void CBaseStringW::Replace(const WCHAR* search, int searchLength, const WCHAR* replacement,
                           int replacementLength, int ignoreCase) {
    Guarded(CoreW::kOwner, "Replace", [&] {
        CoreW::Replace(*this, search, ArgumentLength(search, searchLength), replacement,
                       ArgumentLength(replacement, replacementLength), ignoreCase);
    });
}

void CBaseStringW::Replace(const char* search, int searchLength, const char* replacement,
                           int replacementLength, int ignoreCase) {
    if (search == nullptr || replacement == nullptr) return;
    Guarded(CoreW::kOwner, "Replace", [&] {
        bool searchOk = false;
        bool replacementOk = false;
        const std::u16string from = CoreW::Converted(search, searchLength, &searchOk);
        const std::u16string to = CoreW::Converted(replacement, replacementLength, &replacementOk);
        if (!searchOk || !replacementOk) return;
        CoreW::Replace(*this, from.data(), static_cast<int64_t>(from.size()), to.data(),
                       static_cast<int64_t>(to.size()), ignoreCase);
    });
}

void CBaseStringW::RemoveCharList(const WCHAR* list, int length, int ignoreCase) {
    Guarded(CoreW::kOwner, "RemoveCharList",
            [&] { CoreW::RemoveCharList(*this, list, ArgumentLength(list, length), ignoreCase); });
}

void CBaseStringW::RemoveCharList(const char* list, int length, int ignoreCase) {
    Guarded(CoreW::kOwner, "RemoveCharList", [&] {
        const std::u16string converted = CoreW::Converted(list, length);
        CoreW::RemoveCharList(*this, converted.data(), static_cast<int64_t>(converted.size()),
                              ignoreCase);
    });
}

int CBaseStringW::Find(WCHAR ch, int start) const {
    return CoreW::FindChar(*this, ch, start);
}
int CBaseStringW::Find(const WCHAR* text, int start, int ignoreCase) const {
    return CoreW::Find(*this, text, start, ignoreCase);
}

int CBaseStringW::Equal(const WCHAR* text, int length, int ignoreCase) const {
    return CoreW::Equal(*this, text, ArgumentLength(text, length), ignoreCase);
}

int CBaseStringW::Equal(const char* text, int length, int ignoreCase) const {
    int result = 0;
    Guarded(CoreW::kOwner, "Equal", [&] {
        bool ok = false;
        const std::u16string converted = CoreW::Converted(text, length, &ok);
        if (ok) {
            result = CoreW::Equal(*this, converted.data(), static_cast<int64_t>(converted.size()),
                                  ignoreCase);
        }
    });
    return result;
}

int CBaseStringW::Equal(WCHAR ch, int ignoreCase) const {
    return CoreW::Equal(*this, &ch, 1, ignoreCase);
}
int CBaseStringW::Equal(char ch, int ignoreCase) const {
    return Equal(&ch, 1, ignoreCase);
}

int CBaseStringW::Equal(const CBaseStringW* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    if (other == this) return 1;
    return CoreW::Equal(*this, other->GetString(), other->m_length, ignoreCase);
}

int CBaseStringW::Equal(const CBaseStringA* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    return Equal(other->GetString(), other->GetLength(), ignoreCase);
}

int CBaseStringW::StartWith(const WCHAR* text, int length, int ignoreCase) const {
    return CoreW::StartWith(*this, text, ArgumentLength(text, length), ignoreCase);
}

int CBaseStringW::StartWith(const char* text, int length, int ignoreCase) const {
    int result = 0;
    Guarded(CoreW::kOwner, "StartWith", [&] {
        bool ok = false;
        const std::u16string converted = CoreW::Converted(text, length, &ok);
        if (ok) {
            result = CoreW::StartWith(*this, converted.data(),
                                      static_cast<int64_t>(converted.size()), ignoreCase);
        }
    });
    return result;
}

int CBaseStringW::StartWith(WCHAR ch, int ignoreCase) const {
    return CoreW::StartWith(*this, &ch, 1, ignoreCase);
}
int CBaseStringW::StartWith(char ch, int ignoreCase) const {
    return StartWith(&ch, 1, ignoreCase);
}

int CBaseStringW::StartWith(const CBaseStringW* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    if (other == this) return 1;
    return CoreW::StartWith(*this, other->GetString(), other->m_length, ignoreCase);
}

int CBaseStringW::StartWith(const CBaseStringA* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    return StartWith(other->GetString(), other->GetLength(), ignoreCase);
}

int CBaseStringW::IsDigit() const {
    return CoreW::Every(*this, IsDigitChar<WCHAR>);
}
int CBaseStringW::IsAlpha() const {
    return CoreW::Every(*this, IsAlphaChar<WCHAR>);
}
void CBaseStringW::ToLower() {
    CoreW::ToLower(*this);
}
void CBaseStringW::ToUpper() {
    CoreW::ToUpper(*this);
}
void CBaseStringW::Revert() {
    CoreW::Revert(*this);
}
void CBaseStringW::Trunk(int length) {
    CoreW::Trunk(*this, length);
}
const WCHAR* CBaseStringW::GetString() const {
    return CoreW::GetString(*this);
}
void CBaseStringW::Free() {
    CoreW::Free(*this);
}
