// The sensor's application partitions and the images flashed into them. With a flash folder,
// every image is mirrored as <folder>/APP<n>.bin (written whole, replaced atomically) and the
// images found there are read back at start, so that tests can compare what was flashed byte
// for byte and a restarted simulator keeps its firmware. Without a folder, images live in
// memory only. Used by one thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "wire_format.h"

constexpr int kMaxPartitions = 32;

class FlashStore {
public:
    FlashStore(uint32_t partitionMask, uint32_t partitionBytes, std::string folder);

    // Reads the images of existing partitions from the folder (a missing folder is created).
    // Files larger than a partition are ignored with a warning. False when the folder cannot be
    // created or read.
    bool Load();

    uint32_t PartitionMask() const { return m_mask; }
    uint32_t PartitionBytes() const { return m_partitionBytes; }
    bool Exists(int partition) const {
        return partition >= 0 && partition < kMaxPartitions && ((m_mask >> partition) & 1u) != 0;
    }

    // Empties a partition (its file is removed).
    void Erase(int partition);
    // Keeps `image` as the partition's content and mirrors it to its file; false (logged) when
    // the file could not be written (the partition holds the image all the same).
    bool Write(int partition, const Bytes& image);
    // The partition's image; nullptr when it is empty.
    const Bytes* Image(int partition) const;
    // The partition written last (files read at start count by their modification time).
    std::optional<int> NewestImage() const;
    // The file that mirrors a partition; empty without a folder.
    std::string ImagePath(int partition) const;

private:
    struct Slot {
        Bytes image;
        uint64_t age = 0;  // larger is newer
    };

    uint32_t m_mask;
    uint32_t m_partitionBytes;
    std::string m_folder;
    std::map<int, Slot> m_images;
    uint64_t m_writeCount = 0;
};
