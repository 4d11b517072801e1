#include "archive/zip_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/archive/zip_test_util.h"
#include "support/temp_dir.h"

namespace {

std::string ReadToEnd(CZipFile& file) {
    std::string out;
    char block[4096];
    int guard = 0;
    while (!file.Eof() && guard++ < 100000) {
        const int n = file.Read(block, sizeof(block));
        out.append(block, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace

TEST(CZipFile, WritesGzipThatOtherToolsReadAndReadsItBack) {
    TempDir temp;
    const std::string data = ziptest::SampleText(500000, 11);
    CZipFile file;
    ASSERT_NE(file.Open(temp.File("log.gz").c_str(), "wb"), 0);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Write(data.data(), 200000), 200000);
    EXPECT_EQ(file.Write(data.data() + 200000, 300000), 300000);
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_LT(std::filesystem::file_size(temp.File("log.gz")), data.size() / 2);

    ASSERT_EQ(ziptest::Run("gzip -dc " + ziptest::Quote(temp.File("log.gz")) + " > " +
                           ziptest::Quote(temp.File("log.txt"))),
              0);
    EXPECT_EQ(ReadWholeFile(temp.File("log.txt")), data);

    ASSERT_NE(file.Open(temp.File("log.gz").c_str(), "rb"), 0);
    EXPECT_EQ(ReadToEnd(file), data);
    EXPECT_TRUE(file.Eof());
}

TEST(CZipFile, SeeksInTheUncompressedStream) {
    TempDir temp;
    const std::string data = ziptest::SampleText(100000, 12);
    ASSERT_EQ(
        ziptest::RunPython(temp.Path(),
                           "import gzip, sys\n"
                           "gzip.open(sys.argv[2], 'wb').write(open(sys.argv[1], 'rb').read())\n",
                           {[&] {
                                WriteWholeFile(temp.File("plain"), data);
                                return temp.File("plain");
                            }(),
                            temp.File("py.gz")}),
        0);
    CZipFile file;
    ASSERT_NE(file.Open(temp.File("py.gz").c_str(), "rb"), 0);
    EXPECT_EQ(file.Seek(50000, SEEK_SET), 50000);
    char block[16];
    ASSERT_EQ(file.Read(block, sizeof(block)), 16);
    EXPECT_EQ(std::string(block, 16), data.substr(50000, 16));
    EXPECT_EQ(file.Seek(100, SEEK_CUR), 50116);
    ASSERT_EQ(file.Read(block, 4), 4);
    EXPECT_EQ(std::string(block, 4), data.substr(50116, 4));
}

TEST(CZipFile, ADamagedFileEndsTheStreamInsteadOfSpinning) {
    TempDir temp;
    const std::string data = ziptest::SampleNoise(100000, 13);
    CZipFile file;
    ASSERT_NE(file.Open(temp.File("n.gz").c_str(), "wb"), 0);
    ASSERT_EQ(file.Write(data.data(), static_cast<int>(data.size())), 100000);
    ASSERT_TRUE(file.Close());
    std::string bytes = ReadWholeFile(temp.File("n.gz"));
    WriteWholeFile(temp.File("cut.gz"), bytes.substr(0, bytes.size() / 2));
    bytes[bytes.size() / 2] ^= 0x55;
    WriteWholeFile(temp.File("flipped.gz"), bytes);
    for (const char* name : {"cut.gz", "flipped.gz"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(file.Open(temp.File(name).c_str(), "rb"), 0);
        const std::string read = ReadToEnd(file);
        EXPECT_TRUE(file.Eof());
        EXPECT_NE(read, data);
        EXPECT_EQ(file.Read(bytes.data(), 10), 0);
    }
}

TEST(CZipFile, DoesNothingWithoutAnOpenFile) {
    CZipFile file;
    char block[4] = {};
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.Read(block, 4), 0);
    EXPECT_EQ(file.Write(block, 4), 0);
    EXPECT_EQ(file.Seek(0, SEEK_SET), -1);
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(file.Open(nullptr, "rb"), 0);
    EXPECT_EQ(file.Open("/no/such/folder/x.gz", "rb"), 0);
}
