#include "flash_store.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/dbg_output.h"
#include "core/file_replace.h"

namespace {

constexpr mode_t kImageFileMode = 0644;

}  // namespace

FlashStore::FlashStore(uint32_t partitionMask, uint32_t partitionBytes, std::string folder)
    : m_mask(partitionMask), m_partitionBytes(partitionBytes), m_folder(std::move(folder)) {}

std::string FlashStore::ImagePath(int partition) const {
    if (m_folder.empty()) return {};
    return m_folder + "/APP" + std::to_string(partition) + ".bin";
}

bool FlashStore::Load() {
    if (m_folder.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (error || !std::filesystem::is_directory(m_folder)) {
        DbgOutputA(kDbgLevelError, "Flash folder %s cannot be used: %s\r\n", m_folder.c_str(),
                   error ? error.message().c_str() : "not a folder");
        return false;
    }
    // Older files first, so that the newest one gets the largest age.
    std::vector<std::pair<std::filesystem::file_time_type, int>> found;
    for (int p = 0; p < kMaxPartitions; ++p) {
        if (!Exists(p)) continue;
        const std::string path = ImagePath(p);
        std::error_code statError;
        const auto size = std::filesystem::file_size(path, statError);
        if (statError) continue;
        if (size > m_partitionBytes) {
            DbgOutputA(kDbgLevelWarning,
                       "Image %s (%llu bytes) exceeds the partition (%u): "
                       "ignored\r\n",
                       path.c_str(), static_cast<unsigned long long>(size), m_partitionBytes);
            continue;
        }
        std::ifstream file(path, std::ios::binary);
        Bytes image(static_cast<size_t>(size));
        if (!file.read(reinterpret_cast<char*>(image.data()),
                       static_cast<std::streamsize>(image.size()))) {
            DbgOutputA(kDbgLevelWarning, "Image %s cannot be read: ignored\r\n", path.c_str());
            continue;
        }
        m_images[p].image = std::move(image);
        found.emplace_back(std::filesystem::last_write_time(path, statError), p);
        DbgOutputA(kDbgLevelInfo, "Partition %d holds %s (%llu bytes)\r\n", p, path.c_str(),
                   static_cast<unsigned long long>(size));
    }
    std::sort(found.begin(), found.end());
    for (const auto& entry : found) m_images[entry.second].age = ++m_writeCount;
    return true;
}

void FlashStore::Erase(int partition) {
    m_images.erase(partition);
    const std::string path = ImagePath(partition);
    if (!path.empty() && unlink(path.c_str()) != 0 && errno != ENOENT) {
        DbgOutputA(kDbgLevelWarning, "Remove %s failed:%d %s\r\n", path.c_str(), errno,
                   strerror(errno));
    }
}

bool FlashStore::Write(int partition, const Bytes& image) {
    Slot& slot = m_images[partition];
    slot.image = image;
    slot.age = ++m_writeCount;
    const std::string path = ImagePath(partition);
    if (path.empty()) return true;
    FileReplacement file;
    if (!file.Open(path, kImageFileMode) || !file.Write(image.data(), image.size()) ||
        !file.Commit()) {
        DbgOutputA(kDbgLevelError, "Write image %s failed: %s\r\n", path.c_str(),
                   file.Error().c_str());
        return false;
    }
    DbgOutputA(kDbgLevelInfo, "Partition %d flashed: %s (%zu bytes)\r\n", partition, path.c_str(),
               image.size());
    return true;
}

const Bytes* FlashStore::Image(int partition) const {
    const auto found = m_images.find(partition);
    return found == m_images.end() ? nullptr : &found->second.image;
}

std::optional<int> FlashStore::NewestImage() const {
    std::optional<int> newest;
    uint64_t age = 0;
    for (const auto& [partition, slot] : m_images) {
        if (slot.age > age) {
            age = slot.age;
            newest = partition;
        }
    }
    return newest;
}
