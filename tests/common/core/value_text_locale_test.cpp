// ctest-labels: slow
// Numbers are read and written with '.' whatever the process locale: a decimal comma locale
// changes nothing. When no such locale is installed, one is compiled with localedef.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <string>

#include "core/base_string.h"
#include "core/file_system.h"
#include "core/value_text.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

bool RunQuietly(const char* const* argv) {
    pid_t child = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned =
        posix_spawnp(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    // localedef exits 1 for mere warnings while still writing the locale.
    return spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
}

// Switches the C and C++ global locales to one with a decimal comma; restores them at the end.
class CommaLocale {
public:
    CommaLocale() : m_saved(std::setlocale(LC_ALL, nullptr)), m_savedCpp(std::locale()) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
            if (Use(name)) return;
        }
        const std::string target = m_dir.File("de_DE.UTF-8");
        const char* args[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(), nullptr};
        if (RunQuietly(args)) {
            setenv("LOCPATH", m_dir.Path().c_str(), 1);
            m_setLocPath = true;
            Use("de_DE.UTF-8");
        }
    }
    ~CommaLocale() {
        std::setlocale(LC_ALL, m_saved.c_str());
        std::locale::global(m_savedCpp);
        if (m_setLocPath) unsetenv("LOCPATH");
    }
    bool Active() const { return m_active; }

private:
    bool Use(const char* name) {
        if (std::setlocale(LC_ALL, name) == nullptr) return false;
        if (std::strcmp(std::localeconv()->decimal_point, ",") != 0) return false;
        std::locale::global(std::locale(name));
        m_active = true;
        return true;
    }

    TempDir m_dir;
    std::string m_saved;
    std::locale m_savedCpp;
    bool m_setLocPath = false;
    bool m_active = false;
};

TEST(NumberTextLocale, DecimalCommaLocaleChangesNothing) {
    CommaLocale locale;
    if (!locale.Active()) GTEST_SKIP() << "no decimal comma locale can be had on this machine";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    double value = 0;
    DigtalStringToValueA("2.5", -1, &value, kValueTypeDouble);
    EXPECT_EQ(value, 2.5);
    DigtalStringToValueA("1,5", -1, &value, kValueTypeDouble);
    EXPECT_EQ(value, 1.0);
    float single = 0;
    DigtalStringToValueW(u"-0.75", -1, &single, kValueTypeFloat);
    EXPECT_EQ(single, -0.75f);
    int32_t integer = 0;
    DigtalStringToValueA("1.234", -1, &integer, kValueTypeInt32);
    EXPECT_EQ(integer, 1);

    CBaseStringA text;
    FormatFileSizeA(1536, &text);
    EXPECT_STREQ(text.GetString(), "1.50 K");
    CBaseStringW wide;
    FormatFileSizeW(3u << 20, &wide);
    EXPECT_EQ(std::u16string(wide.GetString()), u"3.00 M");
}

}  // namespace
