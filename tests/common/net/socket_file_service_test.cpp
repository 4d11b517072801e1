// ctest-labels: net
// The remote file service over 127.0.0.1 with a root folder: every request type, real results,
// paths that would leave the root, files owned by their connection, malformed requests, and a
// client that keeps the answers on its own side.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "core/utf_convert.h"
#include "misc/md5.h"
#include "net/socket_client.h"
#include "net/socket_file_client.h"
#include "net/socket_file_records.h"
#include "net/socket_file_server.h"
#include "socket_test_support.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

namespace fs = std::filesystem;

std::u16string Wide(const std::string& text) {
    return Utf8ToUtf16Lossy(text);
}

class FolderPaths : public IServerFolderPathInterface {
public:
    void OnGetFolderPath(int kind, WCHAR* path, uint64_t userValue) override {
        const std::u16string text = kind == 2 && userValue == 99 ? u"logs/today" : u"";
        std::copy(text.begin(), text.end(), path);
    }
};

class SocketFileServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = temp.Path() / "served";
        fs::create_directories(root);
        server.SetListenAddress("127.0.0.1");
        ASSERT_EQ(server.SetRootFolder(root.c_str()), 1);
        ASSERT_EQ(server.Create(0, "files"), 1);
        ASSERT_EQ(client.Create("127.0.0.1", server.GetPort(), "files"), 1);
    }

    TempDir temp;
    fs::path root;
    CSocketFileServer server;
    CSocketFileClient client;
};

TEST_F(SocketFileServiceTest, OpensReadsSizesAndClosesAFile) {
    const Bytes content = PatternBlock(1000);
    WriteWholeFile(root / "data.bin", content);
    ASSERT_EQ(client.OpenFile(u"/data.bin", u"rb"), 1);
    EXPECT_NE(client.GetFileHandle(), 0u);
    EXPECT_EQ(client.GetFileSize(), 1000u);

    Bytes buffer(100);
    EXPECT_EQ(client.ReadFile(200, buffer.data(), 100, 5000), 100u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), content.begin() + 200));
    // 100 bytes asked for 10 bytes before the end give those 10.
    EXPECT_EQ(client.ReadFile(990, buffer.data(), 100, 5000), 10u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 10, content.begin() + 990));
    EXPECT_EQ(client.ReadFile(5000, buffer.data(), 100, 5000), 0u);

    EXPECT_EQ(client.CloseFile(), 1);
    EXPECT_EQ(client.GetFileHandle(), 0u);
    EXPECT_EQ(client.CloseFile(), 0);
    EXPECT_EQ(client.ReadFile(0, buffer.data(), 100, 5000), 0u);
    EXPECT_TRUE(WaitUntil([&] { return server.GetOpenFileCount() == 0; }));
}

TEST_F(SocketFileServiceTest, WritesAtOffsets) {
    ASSERT_EQ(client.OpenFile(u"new.bin", u"wb"), 1);
    const Bytes tail = BytesOf("world");
    const Bytes head = BytesOf("hello ");
    EXPECT_EQ(client.WriteFile(6, tail.data(), 5, 5000), 5u);
    EXPECT_EQ(client.WriteFile(0, head.data(), 6, 5000), 6u);
    EXPECT_EQ(client.CloseFile(), 1);
    EXPECT_EQ(ReadWholeFileBytes(root / "new.bin"), BytesOf("hello world"));
}

TEST_F(SocketFileServiceTest, WritingAFileOpenedForReadingWritesNothing) {
    WriteWholeFile(root / "ro.bin", BytesOf("keep"));
    ASSERT_EQ(client.OpenFile(u"ro.bin", u"rb"), 1);
    EXPECT_EQ(client.WriteFile(0, "xxxx", 4, 5000), 0u);
    EXPECT_EQ(ReadWholeFileBytes(root / "ro.bin"), BytesOf("keep"));
}

TEST_F(SocketFileServiceTest, OpeningAnotherFileClosesTheFirstOnTheServer) {
    WriteWholeFile(root / "a", BytesOf("a"));
    WriteWholeFile(root / "b", BytesOf("b"));
    ASSERT_EQ(client.OpenFile(u"a", u"rb"), 1);
    const uint64_t first = client.GetFileHandle();
    ASSERT_EQ(client.OpenFile(u"b", u"rb"), 1);
    EXPECT_NE(client.GetFileHandle(), first);
    EXPECT_EQ(server.GetOpenFileCount(), 1);
}

TEST_F(SocketFileServiceTest, RefusesModesAndFilesItCannotServe) {
    fs::create_directories(root / "folder");
    EXPECT_EQ(client.OpenFile(u"missing", u"rb"), 0);
    EXPECT_EQ(client.OpenFile(u"folder", u"rb"), 0);
    EXPECT_EQ(client.OpenFile(u"x", u"q"), 0);
    EXPECT_EQ(client.OpenFile(u"x", u"wbwbwbwbwbwbwbwbwb"), 0);
    WriteWholeFile(root / "exists", BytesOf("1"));
    EXPECT_EQ(client.OpenFile(u"exists", u"wbx"), 0);
    EXPECT_EQ(ReadWholeFileBytes(root / "exists"), BytesOf("1"));
    EXPECT_EQ(server.GetOpenFileCount(), 0);
}

TEST_F(SocketFileServiceTest, ActionsReportTheirRealResults) {
    WriteWholeFile(root / "old.txt", BytesOf("x"));
    EXPECT_EQ(client.RenameFile(u"old.txt", u"new.txt"), 1);
    EXPECT_TRUE(fs::exists(root / "new.txt"));
    EXPECT_EQ(client.RenameFile(u"old.txt", u"again.txt"), 0);

    EXPECT_EQ(client.DeleteFileW(u"new.txt"), 1);
    EXPECT_FALSE(fs::exists(root / "new.txt"));
    EXPECT_EQ(client.DeleteFileW(u"new.txt"), 0);

    EXPECT_EQ(client.MakeDirectory(u"dir"), 1);
    EXPECT_TRUE(fs::is_directory(root / "dir"));
    EXPECT_EQ(client.MakeDirectory(u"dir"), 1);  // already there
    EXPECT_EQ(client.MakeDirectory(u"nowhere/dir"), 0);

    fs::create_directories(root / "dir/sub/deeper");
    WriteWholeFile(root / "dir/sub/deeper/f", BytesOf("f"));
    WriteWholeFile(root / "dir/g", BytesOf("g"));
    EXPECT_EQ(client.RemoveDirectoryW(u"dir"), 1);
    EXPECT_TRUE(fs::is_directory(root / "dir"));
    EXPECT_TRUE(fs::is_empty(root / "dir"));
    WriteWholeFile(root / "plain", BytesOf("p"));
    EXPECT_EQ(client.RemoveDirectoryW(u"plain"), 0);
}

TEST_F(SocketFileServiceTest, DigestsFilesAndGivesZerosForEmptyOrMissingOnes) {
    const Bytes content = PatternBlock(3u << 20, 4);
    WriteWholeFile(root / "big.bin", content);
    WriteWholeFile(root / "empty.bin", "");
    uint8_t digest[16];
    ASSERT_EQ(client.GetFileMD5(u"big.bin", digest), 1);
    MD5 expected(content.data(), content.size());
    EXPECT_EQ(0, std::memcmp(digest, expected.digest(), 16));
    const uint8_t zeros[16] = {};
    ASSERT_EQ(client.GetFileMD5(u"empty.bin", digest), 1);
    EXPECT_EQ(0, std::memcmp(digest, zeros, 16));
    ASSERT_EQ(client.GetFileMD5(u"missing.bin", digest), 1);
    EXPECT_EQ(0, std::memcmp(digest, zeros, 16));
}

TEST_F(SocketFileServiceTest, ListsFoldersAndFilesApartWithoutHiddenOrUnsendableNames) {
    fs::create_directories(root / "list/sub1");
    fs::create_directories(root / "list/.hidden_dir");
    WriteWholeFile(root / "list/a.txt", "");
    WriteWholeFile(root / "list/.hidden", "");
    WriteWholeFile(root / "list/semi;colon", "");
    WriteWholeFile(root / "list/\xE6\x95\xB0\xE6\x8D\xAE.bin", "");
    CBaseStringW folders, files;
    ASSERT_EQ(client.GetFolderList(u"list", &folders, &files), 1);
    EXPECT_EQ(std::u16string(folders.GetString()), u"sub1");
    const std::u16string fileList(files.GetString());
    EXPECT_TRUE(fileList == u"a.txt;数据.bin" || fileList == u"数据.bin;a.txt")
        << Utf16ToUtf8Lossy(fileList);
    ASSERT_EQ(client.GetFolderList(u"missing", &folders, &files), 1);
    EXPECT_EQ(folders.GetLength(), 0);
    EXPECT_EQ(files.GetLength(), 0);
}

TEST_F(SocketFileServiceTest, FolderPathComesFromTheOwnersInterface) {
    WCHAR path[kSocketFilePathUnits];
    ASSERT_EQ(client.GetFolderPath(2, path), 1);
    EXPECT_EQ(std::u16string(path), u"");  // no interface yet
    FolderPaths paths;
    server.SetFolderPathInterface(&paths, 99);
    ASSERT_EQ(client.GetFolderPath(2, path), 1);
    EXPECT_EQ(std::u16string(path), u"logs/today");
    server.SetFolderPathInterface(nullptr, 0);
}

TEST_F(SocketFileServiceTest, PathsThatLeaveTheRootAreRefused) {
    WriteWholeFile(temp.Path() / "secret.txt", BytesOf("secret"));
    fs::create_directories(root / "inner");
    fs::create_symlink(temp.Path(), root / "escape");
    const char16_t* escapes[] = {u"../secret.txt", u"inner/../../secret.txt", u"\\..\\secret.txt",
                                 u"escape/secret.txt", u"/../secret.txt"};
    for (const char16_t* path : escapes) {
        SCOPED_TRACE(Utf16ToUtf8Lossy(path));
        EXPECT_EQ(client.OpenFile(path, u"rb"), 0);
        EXPECT_EQ(client.OpenFile(path, u"wb"), 0);
        uint8_t digest[16] = {1};
        EXPECT_EQ(client.GetFileMD5(path, digest), 1);
        EXPECT_EQ(digest[0], 0);
        EXPECT_EQ(client.DeleteFileW(path), 0);
        EXPECT_EQ(client.RenameFile(u"inner", path), 0);
    }
    EXPECT_EQ(client.RemoveDirectoryW(u"escape"), 0);
    EXPECT_EQ(ReadWholeFileBytes(temp.Path() / "secret.txt"), BytesOf("secret"));
    // The root itself may be listed and emptied but not renamed or deleted.
    EXPECT_EQ(client.RenameFile(u"/", u"moved"), 0);
    EXPECT_EQ(client.DeleteFileW(u""), 0);
    EXPECT_EQ(client.RemoveDirectoryW(u"/"), 1);
    EXPECT_TRUE(fs::is_directory(root));
    EXPECT_TRUE(fs::exists(temp.Path() / "secret.txt"));
}

TEST_F(SocketFileServiceTest, AnInvalidRootRefusesEverything) {
    WriteWholeFile(root / "f", BytesOf("f"));
    EXPECT_EQ(server.SetRootFolder((temp.Path() / "no-such-folder").c_str()), 0);
    EXPECT_EQ(client.OpenFile(u"f", u"rb"), 0);
    EXPECT_EQ(client.OpenFile((Wide(root.string()) + u"/f").c_str(), u"rb"), 0);
}

TEST_F(SocketFileServiceTest, DisconnectClosesOnlyThatClientsFiles) {
    WriteWholeFile(root / "shared.bin", PatternBlock(64));
    CSocketFileClient other;
    ASSERT_EQ(other.Create("127.0.0.1", server.GetPort(), "other"), 1);
    ASSERT_EQ(client.OpenFile(u"shared.bin", u"rb"), 1);
    ASSERT_EQ(other.OpenFile(u"shared.bin", u"rb"), 1);
    EXPECT_EQ(server.GetOpenFileCount(), 2);
    client.Close();
    EXPECT_TRUE(WaitUntil([&] { return server.GetOpenFileCount() == 1; }));
    uint8_t buffer[64];
    EXPECT_EQ(other.ReadFile(0, buffer, 64, 5000), 64u);
}

TEST_F(SocketFileServiceTest, OperationsWithoutAConnectionFailAtOnce) {
    LogCapture log;
    client.Close();
    uint8_t buffer[8];
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 5000), 0u);
    EXPECT_EQ(client.WriteFile(0, buffer, 8, 5000), 0u);
    EXPECT_TRUE(log.Has("Net Closed!!"));
    EXPECT_EQ(client.OpenFile(u"x", u"rb"), 0);
    EXPECT_TRUE(log.Has("CSocketFileClient::OpenFile: SendData Failed"));
    EXPECT_EQ(client.MakeDirectory(u"x"), 0);
}

// Requests built by hand on a plain packet-mode connection.
class RawFileRequests : public SocketFileServiceTest {
protected:
    void SetUp() override {
        SocketFileServiceTest::SetUp();
        ASSERT_EQ(raw.Create("127.0.0.1", server.GetPort(), 0, 1, &rawListener, 0, "raw"), 1);
    }

    bool Send(const std::vector<uint8_t>& bytes) {
        return raw.SendData(kSocketDestServer, bytes.data(), static_cast<int>(bytes.size())) == 1;
    }

    RecordingClientListener rawListener;
    CTCPSocketClient raw;
};

TEST_F(RawFileRequests, HandlesAreLookedUpAmongTheRequestersOwnFiles) {
    WriteWholeFile(root / "mine.bin", PatternBlock(32));
    ASSERT_EQ(client.OpenFile(u"mine.bin", u"rb"), 1);
    tagSOCKETFILEREQREAD request;
    request.header.type = static_cast<uint32_t>(SocketFileType::ReqRead);
    request.header.sequence = 41;
    request.header.context = 0x1122334455667788ull;
    request.handle = client.GetFileHandle();
    request.count = 32;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(request, &bytes);
    ASSERT_TRUE(Send(bytes));
    ASSERT_TRUE(WaitUntil([&] { return rawListener.MessageCount() == 1; }));
    const Bytes answer = rawListener.Messages()[0];
    tagSOCKETFILERESREAD response;
    ASSERT_EQ(DecodeSocketFileRecord(answer.data(), answer.size(), &response), SocketFileCheck::Ok);
    EXPECT_EQ(response.count, 0u);
    EXPECT_EQ(response.header.sequence, 41u);
    EXPECT_EQ(response.header.context, 0x1122334455667788ull);
    // Another client's disconnect never closes this client's file either.
    raw.Close();
    uint8_t buffer[32];
    EXPECT_EQ(client.ReadFile(0, buffer, 32, 5000), 32u);
}

struct MalformedCase {
    const char* name;
    std::vector<uint8_t> (*build)();
    const char* logText;
};

std::vector<uint8_t> WrongVersion() {
    SocketFilePathRecord record;
    record.header.type = static_cast<uint32_t>(SocketFileType::ReqMkdir);
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    bytes[0] ^= 0x01;
    return bytes;
}

std::vector<uint8_t> ShortOpen() {
    tagSOCKETFILEREQOPEN record;
    record.header.type = static_cast<uint32_t>(SocketFileType::ReqOpen);
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    bytes.resize(100);
    return bytes;
}

std::vector<uint8_t> ReadBeyondLimit() {
    tagSOCKETFILEREQREAD record;
    record.header.type = static_cast<uint32_t>(SocketFileType::ReqRead);
    record.count = kMaxSocketFileIoBytes + 1;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    return bytes;
}

std::vector<uint8_t> WriteCountBeyondItsBytes() {
    const uint8_t data[8] = {};
    tagSOCKETFILEREQWRITE record;
    record.header.type = static_cast<uint32_t>(SocketFileType::ReqWrite);
    record.count = 8;
    record.data = data;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    bytes[36] = 0xFF;  // count field: claims far more than follows
    return bytes;
}

std::vector<uint8_t> UnknownType() {
    SocketFileInt32Record record;
    record.header.type = 99;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    return bytes;
}

std::vector<uint8_t> ResponseSentToServer() {
    SocketFileInt32Record record;
    record.header.type = static_cast<uint32_t>(SocketFileType::ResClose);
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    return bytes;
}

std::vector<uint8_t> HeaderOnly() {
    return std::vector<uint8_t>(12, 0);
}

class MalformedFileRequest : public RawFileRequests,
                             public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedFileRequest, EndsThatConnectionOnly) {
    LogCapture log;
    ASSERT_TRUE(Send(GetParam().build()));
    EXPECT_TRUE(WaitUntil([&] { return rawListener.disconnects.load() == 1; }));
    EXPECT_EQ(rawListener.MessageCount(), 0u);
    EXPECT_TRUE(log.Has(GetParam().logText));
    EXPECT_EQ(client.MakeDirectory(u"still-served"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, MalformedFileRequest,
    ::testing::Values(
        MalformedCase{"WrongVersion", WrongVersion,
                      "CSocketFileServer::OnServerReceiveData: Net File Version NOT MATCH"},
        MalformedCase{"ShortOpen", ShortOpen, "size does not match its type"},
        MalformedCase{"ReadBeyondLimit", ReadBeyondLimit, "beyond the limit"},
        MalformedCase{"WriteCountBeyondItsBytes", WriteCountBeyondItsBytes,
                      "size does not match its type"},
        MalformedCase{"UnknownType", UnknownType, "unknown message type"},
        MalformedCase{"ResponseSentToServer", ResponseSentToServer, "unexpected message type"},
        MalformedCase{"HeaderOnly", HeaderOnly, "shorter than a message header"}),
    [](const auto& info) { return std::string(info.param.name); });

// A server that answers file requests as each test scripts it, to see what the client does
// with answers a sound server never gives.
class ScriptedFileServer : public IServerSocketListener {
public:
    using Script = std::function<void(uint64_t socket, const tagSOCKETFILEHEADER& request)>;

    ScriptedFileServer() {
        m_server.SetListenAddress("127.0.0.1");
        m_server.Create(0, 0, 1, this, 0, "scripted");
    }
    uint16_t Port() { return m_server.GetServerPort(); }
    void SetScript(Script script) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_script = std::move(script);
    }
    int OnServerReceiveData(uint64_t, tagCLIENTSOCKETINFO* client, const uint8_t* data,
                            int length) override {
        tagSOCKETFILEHEADER header;
        ReadSocketFileHeader(data, static_cast<size_t>(length), &header);
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_script) m_script(client->socket, header);
        return 1;
    }
    void Stop() { m_server.Close(); }
    void Send(uint64_t socket, const std::vector<uint8_t>& bytes) {
        m_server.SendData(socket, bytes.data(), static_cast<int>(bytes.size()));
    }

private:
    std::mutex m_mutex;
    Script m_script;
    CTCPSocketServer m_server;
};

std::vector<uint8_t> ReadAnswer(const tagSOCKETFILEHEADER& request, const Bytes& data,
                                uint32_t sequenceDelta = 0, uint32_t type = 14) {
    tagSOCKETFILERESREAD response;
    response.header = request;
    response.header.sequence += sequenceDelta;
    response.header.type = type;
    response.count = static_cast<uint32_t>(data.size());
    response.data = data.data();
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    return bytes;
}

std::vector<uint8_t> OpenAnswer(const tagSOCKETFILEHEADER& request, uint64_t handle) {
    tagSOCKETFILERESOPEN response;
    response.header = request;
    response.header.type = request.type + 1;
    response.value = handle;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    return bytes;
}

class SocketFileClientAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        // Opening succeeds with handle 5; the rest is up to each test.
        server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
            if (request.type == static_cast<uint32_t>(SocketFileType::ReqOpen)) {
                server.Send(socket, OpenAnswer(request, 5));
            }
        });
        ASSERT_EQ(client.Create("127.0.0.1", server.Port(), "answers"), 1);
        ASSERT_EQ(client.OpenFile(u"f", u"rb"), 1);
    }

    ScriptedFileServer server;
    CSocketFileClient client;
};

TEST_F(SocketFileClientAnswers, AReadAnswerLongerThanAskedEndsTheConnection) {
    server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        server.Send(socket, ReadAnswer(request, PatternBlock(64)));
    });
    Bytes buffer(16 + 8, 0xEE);
    EXPECT_EQ(client.ReadFile(0, buffer.data(), 16, 5000), 0u);
    // Nothing beyond what was asked for was touched.
    EXPECT_TRUE(
        std::all_of(buffer.begin() + 16, buffer.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_TRUE(WaitUntil([&] { return client.IsConnect() == 0; }));
}

TEST_F(SocketFileClientAnswers, AnAnswerOfAnotherTypeEndsTheConnection) {
    server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        tagSOCKETFILERESWRITE response;
        response.header = request;
        response.header.type = static_cast<uint32_t>(SocketFileType::ResWrite);
        response.value = 8;
        std::vector<uint8_t> bytes;
        EncodeSocketFileRecord(response, &bytes);
        server.Send(socket, bytes);
    });
    uint8_t buffer[8];
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 5000), 0u);
    EXPECT_TRUE(WaitUntil([&] { return client.IsConnect() == 0; }));
}

TEST_F(SocketFileClientAnswers, AnAnswerWhoseSizeDoesNotFitItsTypeEndsTheConnection) {
    server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        std::vector<uint8_t> bytes = ReadAnswer(request, PatternBlock(8));
        bytes.erase(bytes.end() - 3, bytes.end());
        server.Send(socket, bytes);
    });
    uint8_t buffer[8];
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 5000), 0u);
    EXPECT_TRUE(WaitUntil([&] { return client.IsConnect() == 0; }));
}

TEST_F(SocketFileClientAnswers, AnAnswerOfAnotherVersionEndsTheConnection) {
    LogCapture log;
    server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        std::vector<uint8_t> bytes = ReadAnswer(request, PatternBlock(4));
        bytes[3] = 0x20;
        server.Send(socket, bytes);
    });
    uint8_t buffer[8];
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 5000), 0u);
    EXPECT_TRUE(WaitUntil([&] { return client.IsConnect() == 0; }));
    EXPECT_TRUE(log.Has("CSocketFileClient::OnClientReceiveData: Net File Version NOT MATCH"));
}

TEST_F(SocketFileClientAnswers, ALateAnswerIsIgnoredAndTheNextOneCounts) {
    LogCapture log;
    std::mutex mutex;
    std::vector<std::pair<uint64_t, tagSOCKETFILEHEADER>> held;
    server.SetScript([&](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        std::lock_guard<std::mutex> guard(mutex);
        held.emplace_back(socket, request);
    });
    uint8_t buffer[8] = {};
    // Unanswered within its time limit.
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 200), 0u);
    std::pair<uint64_t, tagSOCKETFILEHEADER> request;
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard<std::mutex> guard(mutex);
        if (held.size() != 1) return false;
        request = held[0];
        return true;
    }));
    // The answer comes late: nobody waits for it any more.
    server.Send(request.first, ReadAnswer(request.second, BytesOf("late!!!!")));
    EXPECT_TRUE(WaitUntil([&] { return log.Has("has no waiting request, ignored"); }));
    EXPECT_EQ(buffer[0], 0);
    server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        server.Send(socket, ReadAnswer(request, BytesOf("on time")));
    });
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 5000), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 7), "on time");
    EXPECT_EQ(client.IsConnect(), 1);
}

TEST_F(SocketFileClientAnswers, AnAnswerWithAnotherSequenceNumberIsNotTakenForOurs) {
    server.SetScript([this](uint64_t socket, const tagSOCKETFILEHEADER& request) {
        server.Send(socket, ReadAnswer(request, BytesOf("stray"), 1000));
        server.Send(socket, ReadAnswer(request, BytesOf("ours")));
    });
    uint8_t buffer[8] = {};
    EXPECT_EQ(client.ReadFile(0, buffer, 8, 5000), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "ours");
}

struct WakeCase {
    const char* name;
    bool closeServer;  // else the client closes itself
};

class SocketFileClientWake : public SocketFileClientAnswers,
                             public ::testing::WithParamInterface<WakeCase> {};

TEST_P(SocketFileClientWake, AnEndedConnectionWakesACallerWaitingWithoutLimit) {
    std::atomic<int> received{0};
    server.SetScript([&](uint64_t, const tagSOCKETFILEHEADER&) { ++received; });
    std::atomic<uint32_t> result{99};
    std::thread reader([&] {
        uint8_t buffer[8];
        result = client.ReadFile(0, buffer, 8, 0);  // no time limit
    });
    ASSERT_TRUE(WaitUntil([&] { return received.load() == 1; }));
    if (GetParam().closeServer) {
        server.Stop();
    } else {
        client.Close();
    }
    reader.join();
    EXPECT_EQ(result.load(), 0u);
    EXPECT_EQ(client.GetFileHandle(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Ends, SocketFileClientWake,
                         ::testing::Values(WakeCase{"ServerGoesAway", true},
                                           WakeCase{"ClientCloses", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
