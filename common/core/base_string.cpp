// CBaseStringA: narrow (UTF-8) members over the shared implementation.
#include "base_string.h"

#include "base_string_internal.h"

using namespace base_string_internal;

namespace {

using CoreA = BaseStringCore<CBaseStringA>;

}  // namespace

CBaseStringA::CBaseStringA(const char* text, int length) {
    Set(text, length);
}
CBaseStringA::CBaseStringA(const WCHAR* text, int length) {
    Set(text, length);
}
CBaseStringA::CBaseStringA(const CBaseStringA& other) {
    Set(&other);
}
CBaseStringA::CBaseStringA(const CBaseStringW& other) {
    Set(&other);
}
CBaseStringA::CBaseStringA(const CBaseStringA* other) {
    Set(other);
}
CBaseStringA::CBaseStringA(const CBaseStringW* other) {
    Set(other);
}
CBaseStringA::CBaseStringA(CBaseStringA&& other) noexcept {
    CoreA::Move(*this, other);
}
CBaseStringA::~CBaseStringA() = default;

CBaseStringA& CBaseStringA::operator=(const CBaseStringA& other) {
    Set(&other);
    return *this;
}

CBaseStringA& CBaseStringA::operator=(CBaseStringA&& other) noexcept {
    CoreA::Move(*this, other);
    return *this;
}

void CBaseStringA::Set(const char* text, int length) {
    CoreA::SetText(*this, text, ArgumentLength(text, length));
}

void CBaseStringA::Set(const WCHAR* text, int length) {
    Guarded(CoreA::kOwner, "Set", [&] {
        const std::string converted = CoreA::Converted(text, length);
        CoreA::SetText(*this, converted.data(), static_cast<int64_t>(converted.size()));
    });
}

void CBaseStringA::Set(char ch) {
    CoreA::SetText(*this, &ch, 1);
}
void CBaseStringA::Set(WCHAR ch) {
    Set(&ch, 1);
}

void CBaseStringA::Set(const CBaseStringA* other) {
    if (other == nullptr) {
        CoreA::SetText(*this, nullptr, 0);
    } else {
        CoreA::SetText(*this, other->m_text.get(), other->m_length);
    }
}

void CBaseStringA::Set(const CBaseStringW* other) {
    if (other == nullptr) {
        CoreA::SetText(*this, nullptr, 0);
    } else {
        Set(other->GetString(), other->GetLength());
    }
}

void CBaseStringA::Append(const char* text, int length) {
    CoreA::AppendText(*this, text, ArgumentLength(text, length));
}

void CBaseStringA::Append(const WCHAR* text, int length) {
    Guarded(CoreA::kOwner, "Append", [&] {
        const std::string converted = CoreA::Converted(text, length);
        CoreA::AppendText(*this, converted.data(), static_cast<int64_t>(converted.size()));
    });
}

void CBaseStringA::Append(char ch) {
    CoreA::AppendText(*this, &ch, 1);
}
void CBaseStringA::Append(WCHAR ch) {
    Append(&ch, 1);
}

void CBaseStringA::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CoreA::Format(*this, format, args);
    va_end(args);
}

void CBaseStringA::Format(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    CoreA::Format(*this, format, args);
    va_end(args);
}

void CBaseStringA::AppendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CoreA::AppendFormat(*this, format, args);
    va_end(args);
}

void CBaseStringA::AppendFormat(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    CoreA::AppendFormat(*this, format, args);
    va_end(args);
}

void CBaseStringA::FormatV(const char* format, va_list args) {
    CoreA::Format(*this, format, args);
}
void CBaseStringA::FormatV(const WCHAR* format, va_list args) {
    CoreA::Format(*this, format, args);
}
void CBaseStringA::AppendFormatV(const char* format, va_list args) {
    CoreA::AppendFormat(*this, format, args);
}
void CBaseStringA::AppendFormatV(const WCHAR* format, va_list args) {
    CoreA::AppendFormat(*this, format, args);
}

void CBaseStringA::Replace(const char* search, int searchLength, const char* replacement,
                           int replacementLength, int ignoreCase) {
    Guarded(CoreA::kOwner, "Replace", [&] {
        CoreA::Replace(*this, search, ArgumentLength(search, searchLength), replacement,
                       ArgumentLength(replacement, replacementLength), ignoreCase);
    });
}

void CBaseStringA::Replace(const WCHAR* search, int searchLength, const WCHAR* replacement,
                           int replacementLength, int ignoreCase) {
    if (search == nullptr || replacement == nullptr) return;
    Guarded(CoreA::kOwner, "Replace", [&] {
        // A replacement that cannot be converted must not turn into a deletion.
        bool searchOk = false;
        bool replacementOk = false;
        const std::string from = CoreA::Converted(search, searchLength, &searchOk);
        const std::string to = CoreA::Converted(replacement, replacementLength, &replacementOk);
        if (!searchOk || !replacementOk) return;
        CoreA::Replace(*this, from.data(), static_cast<int64_t>(from.size()), to.data(),
                       static_cast<int64_t>(to.size()), ignoreCase);
    });
}

void CBaseStringA::RemoveCharList(const char* list, int length, int ignoreCase) {
    Guarded(CoreA::kOwner, "RemoveCharList",
            [&] { CoreA::RemoveCharList(*this, list, ArgumentLength(list, length), ignoreCase); });
}

void CBaseStringA::RemoveCharList(const WCHAR* list, int length, int ignoreCase) {
    Guarded(CoreA::kOwner, "RemoveCharList", [&] {
        const std::string converted = CoreA::Converted(list, length);
        CoreA::RemoveCharList(*this, converted.data(), static_cast<int64_t>(converted.size()),
                              ignoreCase);
    });
}

int CBaseStringA::Find(char ch, int start) const {
    return CoreA::FindChar(*this, ch, start);
}
int CBaseStringA::Find(const char* text, int start, int ignoreCase) const {
    return CoreA::Find(*this, text, start, ignoreCase);
}

int CBaseStringA::Equal(const char* text, int length, int ignoreCase) const {
    return CoreA::Equal(*this, text, ArgumentLength(text, length), ignoreCase);
}

int CBaseStringA::Equal(const WCHAR* text, int length, int ignoreCase) const {
    int result = 0;
    Guarded(CoreA::kOwner, "Equal", [&] {
        bool ok = false;
        const std::string converted = CoreA::Converted(text, length, &ok);
        if (ok) {
            result = CoreA::Equal(*this, converted.data(), static_cast<int64_t>(converted.size()),
                                  ignoreCase);
        }
    });
    return result;
}

int CBaseStringA::Equal(char ch, int ignoreCase) const {
    return CoreA::Equal(*this, &ch, 1, ignoreCase);
}
int CBaseStringA::Equal(WCHAR ch, int ignoreCase) const {
    return Equal(&ch, 1, ignoreCase);
}

int CBaseStringA::Equal(const CBaseStringA* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    if (other == this) return 1;
    return CoreA::Equal(*this, other->GetString(), other->m_length, ignoreCase);
}

int CBaseStringA::Equal(const CBaseStringW* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    return Equal(other->GetString(), other->GetLength(), ignoreCase);
}

int CBaseStringA::StartWith(const char* text, int length, int ignoreCase) const {
    return CoreA::StartWith(*this, text, ArgumentLength(text, length), ignoreCase);
}

int CBaseStringA::StartWith(const WCHAR* text, int length, int ignoreCase) const {
    int result = 0;
    Guarded(CoreA::kOwner, "StartWith", [&] {
        bool ok = false;
        const std::string converted = CoreA::Converted(text, length, &ok);
        if (ok) {
            result = CoreA::StartWith(*this, converted.data(),
                                      static_cast<int64_t>(converted.size()), ignoreCase);
        }
    });
    return result;
}

int CBaseStringA::StartWith(char ch, int ignoreCase) const {
    return CoreA::StartWith(*this, &ch, 1, ignoreCase);
}
int CBaseStringA::StartWith(WCHAR ch, int ignoreCase) const {
    return StartWith(&ch, 1, ignoreCase);
}

int CBaseStringA::StartWith(const CBaseStringA* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    if (other == this) return 1;
    return CoreA::StartWith(*this, other->GetString(), other->m_length, ignoreCase);
}

int CBaseStringA::StartWith(const CBaseStringW* other, int ignoreCase) const {
    if (other == nullptr) return 0;
    return StartWith(other->GetString(), other->GetLength(), ignoreCase);
}

int CBaseStringA::IsDigit() const {
    return CoreA::Every(*this, IsDigitChar<char>);
}
int CBaseStringA::IsAlpha() const {
    return CoreA::Every(*this, IsAlphaChar<char>);
}
void CBaseStringA::ToLower() {
    CoreA::ToLower(*this);
}
void CBaseStringA::ToUpper() {
    CoreA::ToUpper(*this);
}
void CBaseStringA::Revert() {
    CoreA::Revert(*this);
}
void CBaseStringA::Trunk(int length) {
    CoreA::Trunk(*this, length);
}
const char* CBaseStringA::GetString() const {
    return CoreA::GetString(*this);
}
void CBaseStringA::Free() {
    CoreA::Free(*this);
}
