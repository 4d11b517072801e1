// ctest-labels: net
// File and folder copies through the remote file service over 127.0.0.1, against a server with a
// root folder: byte-identical trees both ways (checked with md5sum), progress, temporary files
// that never collide or stay behind, refused names and bounded depth.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/utf_convert.h"
#include "net/socket_file_client.h"
#include "net/socket_file_copy.h"
#include "net/socket_file_records.h"
#include "net/socket_file_server.h"
#include "socket_test_support.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const fs::path& path) {
    return Utf8ToUtf16Lossy(path.string());
}

// "md5  relative/path" lines of every file below the folder, sorted, as md5sum prints them.
std::string Md5sumTree(const fs::path& folder) {
    const std::string command =
        "cd '" + folder.string() + "' && find . -type f -print0 | sort -z | xargs -0 -r md5sum";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "md5sum could not run";
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// A tree with sizes around the copy block, an empty file, nested folders, a non-ASCII name and
// hidden entries (which a copy from this side leaves out).
void BuildTree(const fs::path& top) {
    fs::create_directories(top / "sub/deeper/deepest");
    fs::create_directories(top / "empty_folder");
    fs::create_directories(top / ".hidden_folder");
    WriteWholeFile(top / "empty.bin", "");
    WriteWholeFile(top / "one.bin", Bytes{0x42});
    WriteWholeFile(top / "block.bin", PatternBlock(kSocketFileCopyBlockBytes, 2));
    WriteWholeFile(top / "sub/block_plus_one.bin", PatternBlock(kSocketFileCopyBlockBytes + 1, 3));
    WriteWholeFile(top / "sub/deeper/large.bin", PatternBlock(1300000, 4));
    WriteWholeFile(top / "sub/deeper/deepest/\xE6\x95\xB0\xE6\x8D\xAE.txt", BytesOf("data"));
    WriteWholeFile(top / ".hidden_file", BytesOf("hidden"));
    WriteWholeFile(top / ".hidden_folder/inside", BytesOf("hidden"));
}

class RecordingFolderListener : public INetFolderCopyProgressListener {
public:
    int OnNetFileCopyProgress(uint64_t userValue, uint64_t done, uint64_t total, double,
                              uint64_t* newSpeedLimit) override {
        std::lock_guard<std::mutex> guard(mutex);
        EXPECT_EQ(userValue, 42u);
        EXPECT_EQ(*newSpeedLimit, 0u);
        EXPECT_LE(done, total);
        lastDone = done;
        lastTotal = total;
        ++progressCalls;
        return 1;
    }
    int OnNetFolderCreated(uint64_t, const WCHAR* folderPath) override {
        std::lock_guard<std::mutex> guard(mutex);
        events.push_back("folder " + Utf16ToUtf8Lossy(folderPath));
        return 1;
    }
    int OnNetFileCopyBegin(uint64_t, const WCHAR* serverPath, const WCHAR* localPath) override {
        std::lock_guard<std::mutex> guard(mutex);
        events.push_back("file " + Utf16ToUtf8Lossy(serverPath) + " " +
                         Utf16ToUtf8Lossy(localPath));
        return 1;
    }

    std::mutex mutex;
    std::vector<std::string> events;
    uint64_t lastDone = 0;
    uint64_t lastTotal = 0;
    int progressCalls = 0;
};

class SocketFileCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = temp.Path() / "served";
        local = temp.Path() / "local";
        fs::create_directories(root);
        fs::create_directories(local);
        server.SetListenAddress("127.0.0.1");
        ASSERT_EQ(server.SetRootFolder(root.c_str()), 1);
        ASSERT_EQ(server.Create(0, "copy"), 1);
        ASSERT_EQ(client.Create("127.0.0.1", server.GetPort(), "copy"), 1);
    }

    bool HasTemporaryFiles(const fs::path& folder) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("FileCopy_", 0) == 0 || name.rfind(".orbo-", 0) == 0) return true;
        }
        return false;
    }

    TempDir temp;
    fs::path root;
    fs::path local;
    CSocketFileServer server;
    CSocketFileClient client;
};

TEST_F(SocketFileCopyTest, FolderTreeTravelsBothWaysByteIdentical) {
    BuildTree(local / "tree");
    RecordingFolderListener listener;
    EXPECT_EQ(
        SocketFolderCopyToServer(&client, Wide(local / "tree").c_str(), u"up", 0, &listener, 42),
        1);
    fs::remove_all(local / "tree/.hidden_folder");
    fs::remove(local / "tree/.hidden_file");
    const std::string original = Md5sumTree(local / "tree");
    ASSERT_NE(original.find("large.bin"), std::string::npos);
    EXPECT_EQ(Md5sumTree(root / "up"), original);
    EXPECT_TRUE(fs::is_directory(root / "up/empty_folder"));
    EXPECT_FALSE(fs::exists(root / "up/.hidden_file"));

    EXPECT_EQ(
        SocketFolderCopyFromServer(&client, u"up", Wide(local / "down").c_str(), 0, &listener, 42),
        1);
    EXPECT_EQ(Md5sumTree(local / "down"), original);
    EXPECT_TRUE(fs::is_directory(local / "down/empty_folder"));
    EXPECT_FALSE(HasTemporaryFiles(root));
    EXPECT_FALSE(HasTemporaryFiles(local));
    EXPECT_EQ(server.GetOpenFileCount(), 0);
}

TEST_F(SocketFileCopyTest, FolderCopyCreatesSubFoldersFirstDepthFirst) {
    fs::create_directories(root / "t/a/aa");
    fs::create_directories(root / "t/b");
    WriteWholeFile(root / "t/a/aa/x", BytesOf("x"));
    WriteWholeFile(root / "t/y", BytesOf("y"));
    RecordingFolderListener listener;
    const fs::path down = local / "d";
    ASSERT_EQ(SocketFolderCopyFromServer(&client, u"t", Wide(down).c_str(), 0, &listener, 42), 1);
    std::vector<std::string> events = listener.events;
    // Sub-folders are listed in the file system's order; within each, the order is fixed.
    const auto at = [&](const std::string& event) {
        return std::find(events.begin(), events.end(), event) - events.begin();
    };
    const auto folderA = at("folder " + (down / "a").string());
    const auto folderAA = at("folder " + (down / "a/aa").string());
    const auto fileX = at("file t/a/aa/x " + (down / "a/aa/x").string());
    const auto fileY = at("file t/y " + (down / "y").string());
    ASSERT_EQ(events.size(), 5u);
    EXPECT_LT(folderA, folderAA);
    EXPECT_LT(folderAA, fileX);
    EXPECT_EQ(fileY, 4);
    EXPECT_EQ(ReadWholeFileBytes(down / "a/aa/x"), BytesOf("x"));
}

TEST_F(SocketFileCopyTest, FileCopiesReportProgressUpToTheTotal) {
    const Bytes content = PatternBlock(3 * kSocketFileCopyBlockBytes + 17, 8);
    WriteWholeFile(local / "src.bin", content);
    RecordingFolderListener listener;
    ASSERT_EQ(SocketFileCopyToServer(&client, Wide(local / "src.bin").c_str(), u"dst.bin", 10000,
                                     &listener, 42),
              1);
    EXPECT_EQ(listener.progressCalls, 4);
    EXPECT_EQ(listener.lastDone, content.size());
    EXPECT_EQ(listener.lastTotal, content.size());
    EXPECT_EQ(ReadWholeFileBytes(root / "dst.bin"), content);

    listener.progressCalls = 0;
    ASSERT_EQ(SocketFileCopyFromServer(&client, u"dst.bin", Wide(local / "back.bin").c_str(), 10000,
                                       &listener, 42),
              1);
    EXPECT_EQ(listener.progressCalls, 4);
    EXPECT_EQ(listener.lastDone, content.size());
    EXPECT_EQ(ReadWholeFileBytes(local / "back.bin"), content);
}

TEST_F(SocketFileCopyTest, EmptyFilesCopyBothWays) {
    WriteWholeFile(local / "empty", "");
    ASSERT_EQ(SocketFileCopyToServer(&client, Wide(local / "empty").c_str(), u"e", 0, nullptr, 0),
              1);
    EXPECT_TRUE(fs::exists(root / "e"));
    EXPECT_EQ(fs::file_size(root / "e"), 0u);
    ASSERT_EQ(SocketFileCopyFromServer(&client, u"e", Wide(local / "e2").c_str(), 0, nullptr, 0),
              1);
    EXPECT_EQ(fs::file_size(local / "e2"), 0u);
}

TEST_F(SocketFileCopyTest, FailedDownloadLeavesTheLocalFileAsItWas) {
    WriteWholeFile(local / "keep.txt", BytesOf("old content"));
    EXPECT_EQ(SocketFileCopyFromServer(&client, u"missing.bin", Wide(local / "keep.txt").c_str(), 0,
                                       nullptr, 0),
              0);
    EXPECT_EQ(ReadWholeFileBytes(local / "keep.txt"), BytesOf("old content"));
    EXPECT_EQ(SocketFileCopyFromServer(&client, u"../outside", Wide(local / "keep.txt").c_str(), 0,
                                       nullptr, 0),
              0);
    EXPECT_FALSE(HasTemporaryFiles(local));
}

TEST_F(SocketFileCopyTest, UploadWhoseRenameFailsReportsFailureAndRemovesItsTemporaryFile) {
    fs::create_directories(root / "target_is_a_folder/inside");
    WriteWholeFile(local / "src", BytesOf("content"));
    EXPECT_EQ(SocketFileCopyToServer(&client, Wide(local / "src").c_str(), u"target_is_a_folder", 0,
                                     nullptr, 0),
              0);
    EXPECT_TRUE(fs::is_directory(root / "target_is_a_folder/inside"));
    EXPECT_FALSE(HasTemporaryFiles(root));
}

TEST_F(SocketFileCopyTest, UploadOfAMissingLocalFileFails) {
    EXPECT_EQ(SocketFileCopyToServer(&client, Wide(local / "nope").c_str(), u"x", 0, nullptr, 0),
              0);
    EXPECT_FALSE(fs::exists(root / "x"));
    EXPECT_EQ(server.GetOpenFileCount(), 0);
}

TEST_F(SocketFileCopyTest, ConcurrentUploadsToOneTargetNeverShareATemporaryFile) {
    constexpr int kClients = 4;
    std::vector<Bytes> contents;
    for (int i = 0; i < kClients; ++i) {
        contents.push_back(PatternBlock(2 * kSocketFileCopyBlockBytes + 5 * i, 20 + i));
        WriteWholeFile(local / ("src" + std::to_string(i)), contents.back());
    }
    std::vector<std::unique_ptr<CSocketFileClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<CSocketFileClient>());
        ASSERT_EQ(clients.back()->Create("127.0.0.1", server.GetPort(), "many"), 1);
    }
    std::vector<int> results(kClients, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            results[i] = SocketFileCopyToServer(clients[i].get(),
                                                Wide(local / ("src" + std::to_string(i))).c_str(),
                                                u"shared.bin", 0, nullptr, 0);
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(results[i], 1) << i;
    const Bytes final = ReadWholeFileBytes(root / "shared.bin");
    EXPECT_NE(std::find(contents.begin(), contents.end(), final), contents.end());
    EXPECT_FALSE(HasTemporaryFiles(root));
}

TEST_F(SocketFileCopyTest, NamesThatWouldLeaveTheLocalFolderAreRefused) {
    // A file name may hold a backslash on this system; joined elsewhere it would be a separator.
    fs::create_directories(root / "odd");
    WriteWholeFile(root / "odd/a\\..\\..\\escaped.txt", BytesOf("x"));
    fs::create_directories(root / "odd/b\\..\\..\\escaped_folder");
    WriteWholeFile(root / "odd/fine.txt", BytesOf("fine"));
    LogCapture log;
    EXPECT_EQ(
        SocketFolderCopyFromServer(&client, u"odd", Wide(local / "in").c_str(), 0, nullptr, 0), 0);
    EXPECT_EQ(ReadWholeFileBytes(local / "in/fine.txt"), BytesOf("fine"));
    EXPECT_FALSE(fs::exists(temp.Path() / "escaped.txt"));
    EXPECT_FALSE(fs::exists(local / "escaped.txt"));
    EXPECT_FALSE(fs::exists(local / "escaped_folder"));
    EXPECT_TRUE(log.Has("refused"));

    fs::create_directories(local / "out");
    WriteWholeFile(local / "out/back\\slash", BytesOf("x"));
    EXPECT_EQ(SocketFolderCopyToServer(&client, Wide(local / "out").c_str(), u"out", 0, nullptr, 0),
              0);
    EXPECT_TRUE(fs::is_empty(root / "out"));
}

TEST_F(SocketFileCopyTest, FolderRecursionIsBounded) {
    // A link back to its own folder makes an endless tree.
    fs::create_directories(local / "loop");
    WriteWholeFile(local / "loop/f", BytesOf("f"));
    fs::create_directory_symlink(local / "loop", local / "loop/again");
    LogCapture log;
    EXPECT_EQ(
        SocketFolderCopyToServer(&client, Wide(local / "loop").c_str(), u"loop", 0, nullptr, 0), 0);
    EXPECT_TRUE(log.Has("levels, left out"));
    EXPECT_EQ(ReadWholeFileBytes(root / "loop/f"), BytesOf("f"));
}

}  // namespace
