// What the socket tests share: listeners that record what they are told (safe to read from the
// test thread), a capture of debug lines, and plain loopback connections for speaking the wire
// format by hand.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "core/unique_fd.h"
#include "net/socket_listener.h"
#include "net/socket_packet.h"
#include "support/log_capture.h"
#include "support/wait_until.h"

using Bytes = std::vector<uint8_t>;

inline Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Bytes that differ at every offset within a long span, so a shifted or lost block shows.
inline Bytes PatternBlock(size_t size, uint32_t seed = 1) {
    Bytes bytes(size);
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

class RecordingClientListener : public IClientSocketListener {
public:
    void OnClientSocketCreate(uint64_t, uint64_t) override { ++creates; }
    int OnClientReceiveData(uint64_t, uint64_t, const uint8_t* data, int length) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.emplace_back(data, data + length);
        return result.load();
    }
    void OnClientDisconnectFromServer(uint64_t, uint64_t) override { ++disconnects; }

    std::vector<Bytes> Messages() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_messages;
    }
    size_t MessageCount() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_messages.size();
    }
    // Every byte received, in order (raw mode hands bytes on in whatever blocks arrive).
    Bytes AllBytes() {
        std::lock_guard<std::mutex> guard(m_mutex);
        Bytes all;
        for (const Bytes& m : m_messages) all.insert(all.end(), m.begin(), m.end());
        return all;
    }

    std::atomic<int> creates{0};
    std::atomic<int> disconnects{0};
    std::atomic<int> result{1};

private:
    std::mutex m_mutex;
    std::vector<Bytes> m_messages;
};

class RecordingServerListener : public IServerSocketListener {
public:
    struct Message {
        uint64_t socket;
        Bytes data;
    };

    int OnServerAcceptClient(uint64_t, tagCLIENTSOCKETINFO* client) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_accepted.push_back(client->socket);
        return acceptResult.load();
    }
    void OnServerCloseClient(uint64_t, tagCLIENTSOCKETINFO* client) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_closed.push_back(client->socket);
    }
    int OnServerReceiveData(uint64_t, tagCLIENTSOCKETINFO* client, const uint8_t* data,
                            int length) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.push_back({client->socket, Bytes(data, data + length)});
        return receiveResult.load();
    }

    std::vector<Message> Messages() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_messages;
    }
    size_t MessageCount() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_messages.size();
    }
    Bytes AllBytes() {
        std::lock_guard<std::mutex> guard(m_mutex);
        Bytes all;
        for (const Message& m : m_messages) all.insert(all.end(), m.data.begin(), m.data.end());
        return all;
    }
    std::vector<uint64_t> Accepted() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_accepted;
    }
    std::vector<uint64_t> Closed() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_closed;
    }

    std::atomic<int> acceptResult{1};
    std::atomic<int> receiveResult{1};

private:
    std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<uint64_t> m_accepted;
    std::vector<uint64_t> m_closed;
};

// A plain blocking TCP connection to 127.0.0.1:port; invalid when the connect fails.
inline UniqueFd ConnectPlain(uint16_t port) {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        return UniqueFd();
    }
    const int on = 1;
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return fd;
}

inline bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

inline bool WriteAll(int fd, const Bytes& bytes) {
    return WriteAll(fd, bytes.data(), bytes.size());
}

// A packet as it travels: header with the given fields, then the payload.
inline Bytes PacketBytes(uint64_t destination, const Bytes& payload,
                         uint32_t magic = kSocketPacketMagic, uint32_t matchCode = 0) {
    SocketPacketHeader header;
    header.magic = magic;
    header.matchCode = matchCode;
    header.destination = destination;
    header.length = static_cast<uint32_t>(payload.size());
    Bytes bytes(kSocketPacketHeaderBytes);
    WriteSocketPacketHeader(header, bytes.data());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// Reads until the peer has closed (true) or the deadline passes (false).
inline bool WaitPeerClosed(int fd, int deadlineMs = 5000) {
    timeval limit{deadlineMs / 1000, (deadlineMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n == 0) return true;
        if (n < 0) return errno == ECONNRESET;
    }
}
