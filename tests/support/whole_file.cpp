#include "support/whole_file.h"

#include <fstream>
#include <iterator>

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadWholeFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) {
        std::error_code ignored;  // a failure to create shows as the open failing below
        std::filesystem::create_directories(path.parent_path(), ignored);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    return WriteWholeFile(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::map<std::string, std::string> ReadFolderTree(const std::filesystem::path& folder) {
    std::map<std::string, std::string> tree;
    if (!std::filesystem::exists(folder)) return tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = std::filesystem::relative(entry.path(), folder).string();
        tree[entry.is_directory() ? name + "/" : name] =
            entry.is_directory() ? "" : ReadWholeFile(entry.path());
    }
    return tree;
}
