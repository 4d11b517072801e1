#include "support/comma_locale.h"

#include <clocale>
#include <cstdlib>
#include <locale>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* kCommaLocale = "de_DE.UTF-8";

// Runs localedef to compile de_DE.UTF-8 into `folder`; true when it succeeded.
bool CompileLocale(const std::string& folder) {
    const std::string target = folder + "/" + kCommaLocale;
    const int exitCode = RunProgram({"localedef", "-i", "de_DE", "-f", "UTF-8", target});
    // localedef reports warnings with exit code 1 while still writing a usable locale.
    return exitCode == 0 || exitCode == 1;
}

}  // namespace

ScopedCommaLocale::ScopedCommaLocale() {
    if (TryLocale(kCommaLocale)) return;
    m_localeDir = std::make_unique<TempDir>();
    if (!CompileLocale(m_localeDir->Path().string())) {
        m_reason = "no de_DE.UTF-8 locale and localedef could not build one";
        return;
    }
    setenv("LOCPATH", m_localeDir->Path().c_str(), 1);
    if (!TryLocale(kCommaLocale)) {
        unsetenv("LOCPATH");
        m_reason = "de_DE.UTF-8 built with localedef but cannot be selected";
    }
}

bool ScopedCommaLocale::TryLocale(const char* name) {
    if (std::setlocale(LC_ALL, name) == nullptr) return false;
    const std::lconv* conv = std::localeconv();
    if (conv == nullptr || std::string(conv->decimal_point) != ",") {
        std::setlocale(LC_ALL, "C");
        return false;
    }
    try {
        std::locale::global(std::locale(name));
    } catch (const std::exception&) {
        std::setlocale(LC_ALL, "C");
        return false;
    }
    m_available = true;
    return true;
}

ScopedCommaLocale::~ScopedCommaLocale() {
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
    if (m_localeDir) unsetenv("LOCPATH");
}
