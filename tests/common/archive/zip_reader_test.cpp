#include "archive/zip_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/archive/zip_test_util.h"
#include "core/size_limits.h"

using ziptest::RawEntry;

namespace {

std::string ReadAll(ZipReader& reader, bool* ok) {
    std::string out;
    *ok = reader.Read([&out](const uint8_t* data, size_t size) {
        out.append(reinterpret_cast<const char*>(data), size);
        return true;
    });
    return out;
}

}  // namespace

TEST(ZipReader, ReadsEntriesFromMemory) {
    const std::string big = ziptest::SampleNoise(200000, 7);
    const std::string bytes = ziptest::BuildStoredZip(
        {{.name = "a.txt", .data = "alpha"}, {.name = "dir\\big.bin", .data = big}});
    ZipReader reader;
    ASSERT_TRUE(reader.OpenMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(reader.Label(), "(memory)");
    EXPECT_EQ(reader.EntryCount(), 2u);
    EXPECT_EQ(reader.CurrentIndex(), -1);
    ASSERT_EQ(reader.First(), ZipStep::kEntry);
    ZipEntryInfo info;
    ASSERT_TRUE(reader.Info(info));
    EXPECT_EQ(info.name, "a.txt");
    bool ok = false;
    EXPECT_EQ(ReadAll(reader, &ok), "alpha");
    EXPECT_TRUE(ok);
    ASSERT_EQ(reader.Next(), ZipStep::kEntry);
    ASSERT_TRUE(reader.Info(info));
    EXPECT_EQ(info.name, "dir\\big.bin");  // as stored
    EXPECT_EQ(info.uncompressedSize, big.size());
    EXPECT_EQ(ReadAll(reader, &ok), big);
    EXPECT_TRUE(ok);
    EXPECT_EQ(reader.Next(), ZipStep::kEnd);
    EXPECT_EQ(reader.CurrentIndex(), -1);
    EXPECT_FALSE(reader.Info(info));
    EXPECT_TRUE(reader.Seek(0));
    EXPECT_FALSE(reader.Seek(2));
    EXPECT_TRUE(reader.Close());
    EXPECT_FALSE(reader.Close());
    EXPECT_EQ(reader.EntryCount(), 0u);
}

TEST(ZipReader, RefusesWhatIsNotAnArchive) {
    const std::string good = ziptest::BuildStoredZip({{.name = "a.txt", .data = "alpha"}});
    const std::string inputs[] = {"", "PK\x03\x04", std::string(100, 'x'),
                                  good.substr(0, good.size() - 10)};
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input.size());
        ZipReader reader;
        EXPECT_FALSE(reader.OpenMemory(input.data(), input.size()));
        EXPECT_FALSE(reader.IsOpen());
    }
    ZipReader reader;
    EXPECT_FALSE(reader.OpenMemory(nullptr, 10));
    EXPECT_EQ(reader.First(), ZipStep::kFailed);
}

TEST(ZipReader, AReadFailsUnlessSizeAndCrcMatchAndTheSinkTakesEverything) {
    const std::string data = ziptest::SampleText(3000, 2);
    struct Case {
        const char* what;
        RawEntry entry;
        bool sinkAccepts;
        bool ok;
    };
    const Case cases[] = {
        {"sound", {.name = "x", .data = data}, true, true},
        {"sink stops", {.name = "x", .data = data}, false, false},
        {"wrong CRC", {.name = "x", .data = data, .crc = 1234}, true, false},
        {"declared more", {.name = "x", .data = data, .declaredSize = 3001}, true, false},
        {"declared less", {.name = "x", .data = data, .declaredSize = 2999}, true, false},
        {"encrypted", {.name = "x", .data = data, .flags = 1}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = ziptest::BuildStoredZip({c.entry});
        ZipReader reader;
        ASSERT_TRUE(reader.OpenMemory(bytes.data(), bytes.size()));
        ASSERT_EQ(reader.First(), ZipStep::kEntry);
        size_t seen = 0;
        const bool ok = reader.Read([&](const uint8_t*, size_t size) {
            seen += size;
            return c.sinkAccepts;
        });
        EXPECT_EQ(ok, c.ok);
        EXPECT_LE(seen, data.size());
    }
}

TEST(ZipReader, TellsWhyAnEntryCannotBeRead) {
    ZipEntryInfo info;
    info.method = 8;
    EXPECT_EQ(ZipReader::Unreadable(info), "");
    info.method = 0;
    info.uncompressedSize = kMaxZipEntryBytes;
    EXPECT_EQ(ZipReader::Unreadable(info), "");
    info.uncompressedSize = kMaxZipEntryBytes + 1;
    EXPECT_NE(ZipReader::Unreadable(info).find("declares"), std::string::npos);
    info.uncompressedSize = 0;
    info.method = 12;
    EXPECT_NE(ZipReader::Unreadable(info).find("method 12"), std::string::npos);
    info.method = 8;
    info.flags = 1;
    EXPECT_NE(ZipReader::Unreadable(info).find("encrypted"), std::string::npos);
}
