// The names of this process's threads, as the kernel has them (/proc/self/task/*/comm).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

// How many threads of this process carry the name.
inline int ThreadsNamed(const std::string& name) {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++count;
    }
    return count;
}
