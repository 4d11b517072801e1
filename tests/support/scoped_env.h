// An environment variable set (or, with nullopt, removed) for the object's lifetime; the value it
// had, or its absence, comes back at the end. The environment is the whole process's: use it on
// the test's thread while no other thread of the test reads it.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
        if (const char* old = std::getenv(m_name.c_str())) m_saved = old;
        Apply(value);
    }
    ~ScopedEnv() { Apply(m_saved); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Apply(const std::optional<std::string>& value) const {
        if (value) {
            setenv(m_name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }

    std::string m_name;
    std::optional<std::string> m_saved;
};
