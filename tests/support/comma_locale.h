// Switches the process to a locale whose decimal separator is a comma (de_DE.UTF-8), for tests
// that show numbers are written and read the same whatever the locale. Sets the C locale
// (setlocale) and the C++ global locale; restores "C" and the classic locale when destroyed.
//
// When the system has no such locale compiled, one is built with localedef into a private
// folder that LOCPATH points to. Available() tells whether a comma locale is in force; a test
// that cannot have one skips with Reason().
#pragma once

#include <memory>
#include <string>

class TempDir;

class ScopedCommaLocale {
public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    bool Available() const { return m_available; }
    const std::string& Reason() const { return m_reason; }

private:
    bool TryLocale(const char* name);

    bool m_available = false;
    std::string m_reason;
    std::unique_ptr<TempDir> m_localeDir;
};
