// Socket throughput over 127.0.0.1, each beside a plain reference in the same run:
//   packet mode (CSocketClient -> CSocketServer listener) beside a blocking send/recv loop;
//   remote file service copies (upload and download) beside a plain socket file copy.
// Compare the bytes_per_second of each pair.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/unique_fd.h"
#include "core/utf_convert.h"
#include "net/socket_client.h"
#include "net/socket_file_client.h"
#include "net/socket_file_copy.h"
#include "net/socket_file_server.h"
#include "net/socket_server.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFileBytes = 32u << 20;

std::vector<uint8_t> Block(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 7);
    return bytes;
}

// A listening socket on 127.0.0.1 and its port.
UniqueFd Listen(uint16_t* port) {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(fd.Get(), 1);
    socklen_t size = sizeof(address);
    getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    *port = ntohs(address.sin_port);
    return fd;
}

UniqueFd Connect(uint16_t port) {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return fd;
}

bool SendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void WaitFor(const std::atomic<uint64_t>& counter, uint64_t target) {
    while (counter.load() < target) std::this_thread::yield();
}

void BM_PlainSendRecvLoop(benchmark::State& state) {
    const std::vector<uint8_t> block = Block(static_cast<size_t>(state.range(0)));
    uint16_t port = 0;
    UniqueFd listener = Listen(&port);
    UniqueFd sender = Connect(port);
    UniqueFd receiver(accept(listener.Get(), nullptr, nullptr));
    std::atomic<uint64_t> received{0};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(1 << 20);
        for (;;) {
            const ssize_t n = recv(receiver.Get(), buffer.data(), buffer.size(), 0);
            if (n <= 0) break;
            received += static_cast<uint64_t>(n);
        }
    });
    uint64_t sent = 0;
    for (auto _ : state) {
        SendAll(sender.Get(), block.data(), block.size());
        sent += block.size();
    }
    WaitFor(received, sent);
    shutdown(sender.Get(), SHUT_RDWR);
    reader.join();
    state.SetBytesProcessed(static_cast<int64_t>(sent));
}
BENCHMARK(BM_PlainSendRecvLoop)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

class CountingListener : public IServerSocketListener {
public:
    int OnServerReceiveData(uint64_t, tagCLIENTSOCKETINFO*, const uint8_t*, int length) override {
        received += static_cast<uint64_t>(length);
        return 1;
    }
    std::atomic<uint64_t> received{0};
};

void BM_PacketModeLoopback(benchmark::State& state) {
    const std::vector<uint8_t> block = Block(static_cast<size_t>(state.range(0)));
    CountingListener listener;
    CTCPSocketServer server;
    server.SetListenAddress("127.0.0.1");
    server.Create(0, 0, 1, &listener, 0, "bench");
    IClientSocketListener quiet;
    CTCPSocketClient client;
    if (!client.Create("127.0.0.1", server.GetServerPort(), 0, 1, &quiet, 0, "bench")) {
        state.SkipWithError("connect failed");
        return;
    }
    uint64_t sent = 0;
    for (auto _ : state) {
        client.SendData(kSocketDestServer, block.data(), static_cast<int>(block.size()));
        sent += block.size();
    }
    WaitFor(listener.received, sent);
    state.SetBytesProcessed(static_cast<int64_t>(sent));
}
BENCHMARK(BM_PacketModeLoopback)->Arg(64 << 10)->Arg(1 << 20)->UseRealTime();

// A folder with one source file of kFileBytes, removed with the fixture.
struct CopyFolder {
    CopyFolder() {
        path = fs::temp_directory_path() / ("orbo-socket-bench-" + std::to_string(getpid()));
        fs::create_directories(path / "served");
        const std::vector<uint8_t> bytes = Block(kFileBytes);
        std::ofstream(path / "source.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        std::ofstream(path / "served/source.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~CopyFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

// The reference: one file through a plain socket, read in 512 KiB blocks, written to a new file.
void BM_PlainSocketFileCopy(benchmark::State& state) {
    CopyFolder folder;
    for (auto _ : state) {
        uint16_t port = 0;
        UniqueFd listener = Listen(&port);
        std::thread writer([&] {
            UniqueFd in(accept(listener.Get(), nullptr, nullptr));
            UniqueFd out(open((folder.path / "copy.bin").c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
            std::vector<uint8_t> buffer(kSocketFileCopyBlockBytes);
            for (;;) {
                const ssize_t n = recv(in.Get(), buffer.data(), buffer.size(), 0);
                if (n <= 0) break;
                if (write(out.Get(), buffer.data(), static_cast<size_t>(n)) != n) break;
            }
            fsync(out.Get());
        });
        UniqueFd sender = Connect(port);
        UniqueFd source(open((folder.path / "source.bin").c_str(), O_RDONLY | O_CLOEXEC));
        std::vector<uint8_t> buffer(kSocketFileCopyBlockBytes);
        for (;;) {
            const ssize_t n = read(source.Get(), buffer.data(), buffer.size());
            if (n <= 0 || !SendAll(sender.Get(), buffer.data(), static_cast<size_t>(n))) break;
        }
        sender.Close();
        writer.join();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_PlainSocketFileCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SocketFileCopy(benchmark::State& state) {
    const bool upload = state.range(0) != 0;
    CopyFolder folder;
    CSocketFileServer server;
    server.SetListenAddress("127.0.0.1");
    server.SetRootFolder((folder.path / "served").c_str());
    server.Create(0, "bench");
    CSocketFileClient client;
    if (!client.Create("127.0.0.1", server.GetPort(), "bench")) {
        state.SkipWithError("connect failed");
        return;
    }
    const std::u16string local = Utf8ToUtf16Lossy((folder.path / "source.bin").string());
    const std::u16string back = Utf8ToUtf16Lossy((folder.path / "back.bin").string());
    for (auto _ : state) {
        const int copied =
            upload ? SocketFileCopyToServer(&client, local.c_str(), u"copy.bin", 0, nullptr, 0)
                   : SocketFileCopyFromServer(&client, u"source.bin", back.c_str(), 0, nullptr, 0);
        if (!copied) state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_SocketFileCopy)
    ->ArgName("upload")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
