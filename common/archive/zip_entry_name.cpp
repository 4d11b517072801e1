#include "zip_entry_name_internal.h"

#include "core/path_text.h"

namespace {

// The components of the name in order, empty and "." ones left out.
std::vector<std::string_view> Components(std::string_view name) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsPathSeparator(name[end])) ++end;
        const std::string_view part = name.substr(start, end - start);
        if (!part.empty() && part != ".") out.push_back(part);
        start = end + 1;
    }
    return out;
}

}  // namespace

std::string NormalizedEntryName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

bool HasTrailingSeparator(std::string_view name) {
    return !name.empty() && IsPathSeparator(name.back());
}

bool EntryPathParts(std::string_view name, bool fileNameOnly, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty() || (!fileNameOnly && IsPathSeparator(name.front()))) return false;
    const std::vector<std::string_view> components = Components(name);
    if (components.empty()) return false;
    if (fileNameOnly) {
        if (components.back() == "..") return false;
        parts.emplace_back(components.back());
        return true;
    }
    for (const std::string_view part : components) {
        if (part == "..") {
            parts.clear();
            return false;
        }
        parts.emplace_back(part);
    }
    return true;
}

bool IsSafeEntryName(std::string_view name) {
    std::vector<std::string> parts;
    return EntryPathParts(name, false, parts);
}
