// ctest-labels: unit
// The simulator's flash store in-process: which partitions exist, images mirrored as
// APP<n>.bin, erasing, reading the folder back at start and which image counts as newest.
#include "flash_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

constexpr uint32_t kPartitionBytes = 4096;

Bytes Image(size_t size, uint8_t seed) {
    Bytes image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 31 + seed);
    return image;
}

std::string AsText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(FlashStore, PartitionsAreTheBitsOfTheMask) {
    const FlashStore flash(0x80000005u, kPartitionBytes, "");
    for (int p = -1; p <= kMaxPartitions; ++p) {
        const bool expected = p == 0 || p == 2 || p == 31;
        EXPECT_EQ(flash.Exists(p), expected) << p;
    }
}

TEST(FlashStore, AWrittenImageIsMirroredByteForByteAndErasingRemovesIt) {
    TempDir dir;
    FlashStore flash(0x3, kPartitionBytes, dir.File("flash"));
    ASSERT_TRUE(flash.Load());
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("flash")));
    EXPECT_EQ(flash.ImagePath(1), dir.File("flash") + "/APP1.bin");

    const Bytes image = Image(kPartitionBytes, 3);
    ASSERT_TRUE(flash.Write(1, image));
    ASSERT_NE(flash.Image(1), nullptr);
    EXPECT_EQ(*flash.Image(1), image);
    EXPECT_EQ(ReadWholeFile(flash.ImagePath(1)), AsText(image));
    EXPECT_EQ(flash.Image(0), nullptr);

    flash.Erase(1);
    EXPECT_EQ(flash.Image(1), nullptr);
    EXPECT_FALSE(std::filesystem::exists(flash.ImagePath(1)));
    EXPECT_FALSE(flash.NewestImage().has_value());
}

TEST(FlashStore, WithoutAFolderImagesLiveInMemoryOnly) {
    FlashStore flash(0x3, kPartitionBytes, "");
    ASSERT_TRUE(flash.Load());
    EXPECT_TRUE(flash.ImagePath(0).empty());
    ASSERT_TRUE(flash.Write(0, Image(10, 1)));
    ASSERT_NE(flash.Image(0), nullptr);
    EXPECT_EQ(*flash.Image(0), Image(10, 1));
}

TEST(FlashStore, TheNewestImageIsTheOneWrittenLast) {
    FlashStore flash(0x7, kPartitionBytes, "");
    ASSERT_TRUE(flash.Write(2, Image(5, 1)));
    ASSERT_TRUE(flash.Write(0, Image(5, 2)));
    EXPECT_EQ(flash.NewestImage(), 0);
    ASSERT_TRUE(flash.Write(2, Image(6, 3)));
    EXPECT_EQ(flash.NewestImage(), 2);
}

// A restarted simulator keeps its firmware: the images of existing partitions are read back,
// the newest by modification time counts as written last, files of missing partitions and
// oversized files are ignored.
TEST(FlashStore, LoadReadsTheFolderBack) {
    TempDir dir;
    const std::string folder = dir.File("flash");
    {
        FlashStore first(0x7, kPartitionBytes, folder);
        ASSERT_TRUE(first.Load());
        ASSERT_TRUE(first.Write(2, Image(100, 7)));
        ASSERT_TRUE(first.Write(0, Image(200, 9)));
    }
    const auto older = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(folder + "/APP0.bin", older);
    {
        std::ofstream oversized(folder + "/APP1.bin", std::ios::binary);
        oversized << AsText(Image(kPartitionBytes + 1, 5));
        std::ofstream missing(folder + "/APP3.bin", std::ios::binary);
        missing << "x";
    }

    FlashStore again(0x7, kPartitionBytes, folder);
    ASSERT_TRUE(again.Load());
    ASSERT_NE(again.Image(0), nullptr);
    EXPECT_EQ(*again.Image(0), Image(200, 9));
    ASSERT_NE(again.Image(2), nullptr);
    EXPECT_EQ(*again.Image(2), Image(100, 7));
    EXPECT_EQ(again.Image(1), nullptr);
    EXPECT_EQ(again.Image(3), nullptr);
    EXPECT_EQ(again.NewestImage(), 2);
}

// The sensor keeps the image even when its mirror cannot be written; the failure is reported.
TEST(FlashStore, AFailedMirrorIsReportedAndTheImageKept) {
    TempDir dir;
    FlashStore flash(0x3, kPartitionBytes, dir.File("flash"));
    ASSERT_TRUE(flash.Load());
    std::filesystem::remove_all(dir.File("flash"));
    EXPECT_FALSE(flash.Write(0, Image(10, 4)));
    ASSERT_NE(flash.Image(0), nullptr);
    EXPECT_EQ(*flash.Image(0), Image(10, 4));
}

TEST(FlashStore, AFolderThatIsAFileCannotBeUsed) {
    TempDir dir;
    std::ofstream(dir.File("plain")) << "not a folder";
    FlashStore flash(0x3, kPartitionBytes, dir.File("plain"));
    EXPECT_FALSE(flash.Load());
}

}  // namespace
