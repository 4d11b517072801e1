// What the HTTP tests share: the test servers' scripts and nginx locations, a byte pattern for
// served files, and the certificate authority as a CBaseBuffer.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/base_buffer.h"
#include "net/http_file_client.h"
#include "net/http_transfer.h"
#include "net/net_file_copy_progress.h"
#include "support/child_process.h"
#include "support/whole_file.h"

// Bytes that differ at every offset within a long span, so a shifted or misplaced block shows.
inline std::string PatternBytes(size_t size, uint32_t seed = 1) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

// The PEM file's bytes in an owned buffer.
inline void LoadFileIntoBuffer(const std::string& path, CBaseBuffer* out) {
    const std::string text = ReadWholeFile(path);
    out->SetBuffer(text.data(), static_cast<uint32_t>(text.size()));
}

// The request options of a test, with "none" for each by default.
struct TestRequest {
    const CBaseBuffer* caCerts = nullptr;
    const char* bearerToken = nullptr;
    const char* extraHeader = nullptr;
    long authMask = 0;
    const char* userName = nullptr;
    const char* password = nullptr;
    int useProxy = 0;
    long proxyType = 0;
    const char* proxyAddress = nullptr;
    const char* proxyUserName = nullptr;
    const char* proxyPassword = nullptr;
};

inline int OpenWith(tagHTTPFILEINFO* info, const std::string& url, const TestRequest& r = {}) {
    return OpenHttpFile(info, url.c_str(), r.caCerts, r.bearerToken, r.extraHeader, r.authMask,
                        r.userName, r.password, r.useProxy, r.proxyType, r.proxyAddress,
                        r.proxyUserName, r.proxyPassword);
}

inline int GetWith(const std::string& url, CBaseBuffer* body, const TestRequest& r = {}) {
    return PerformHttpGetCommand(url.c_str(), r.caCerts, r.bearerToken, r.extraHeader, r.authMask,
                                 r.userName, r.password, r.useProxy, r.proxyType, r.proxyAddress,
                                 r.proxyUserName, r.proxyPassword, body);
}

inline int OpenClient(CHttpFileClient* client, const std::string& url, const TestRequest& r = {}) {
    return client->OpenFile(url.c_str(), r.caCerts, r.bearerToken, r.extraHeader, r.authMask,
                            r.userName, r.password, r.useProxy, r.proxyType, r.proxyAddress,
                            r.proxyUserName, r.proxyPassword);
}

// The available bytes of a buffer as text.
inline std::string BufferText(const CBaseBuffer& buffer) {
    if (buffer.GetBuffer() == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(buffer.GetBuffer()), buffer.GetAvailSize());
}

// An open file that is closed when the test leaves.
struct OpenedHttpFile {
    tagHTTPFILEINFO info;
    ~OpenedHttpFile() { CloseHttpFile(&info); }
};

// Records every progress report (from any thread); can stop the copy after a number of reports
// and hands back a speed limit.
class RecordingProgress : public INetFileCopyProgressListener {
public:
    int OnNetFileCopyProgress(uint64_t userData, uint64_t doneBytes, uint64_t totalBytes,
                              double bytesPerMs, uint64_t* newSpeedLimit) override {
        std::lock_guard<std::mutex> hold(m_guard);
        m_slotWasZero = m_slotWasZero && *newSpeedLimit == 0;
        m_userData = userData;
        m_done.push_back(doneBytes);
        m_totals.push_back(totalBytes);
        m_speedsValid = m_speedsValid && bytesPerMs >= 0;
        // What a progress bar does; a total of 0 means unknown and is never divided by.
        if (totalBytes != 0) m_lastPercent = static_cast<int>(doneBytes * 100 / totalBytes);
        *newSpeedLimit = m_limit;
        if (m_onReport) m_onReport(m_done.size());
        return m_stopAfter != 0 && m_done.size() >= m_stopAfter ? 0 : 1;
    }

    void StopAfter(size_t reports) { m_stopAfter = reports; }
    void SetOnReport(std::function<void(size_t)> onReport) { m_onReport = std::move(onReport); }
    std::vector<uint64_t> Done() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_done;
    }
    std::vector<uint64_t> Totals() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_totals;
    }
    size_t Reports() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_done.size();
    }
    uint64_t UserData() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_userData;
    }
    int LastPercent() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_lastPercent;
    }
    bool SlotWasZero() const {
        std::lock_guard<std::mutex> hold(m_guard);
        return m_slotWasZero && m_speedsValid;
    }

private:
    mutable std::mutex m_guard;
    std::vector<uint64_t> m_done;
    std::vector<uint64_t> m_totals;
    uint64_t m_userData = 0;
    int m_lastPercent = -1;
    bool m_slotWasZero = true;
    bool m_speedsValid = true;
    uint64_t m_limit = 0;
    size_t m_stopAfter = 0;
    std::function<void(size_t)> m_onReport;
};

// nginx locations of the tests: a folder whose server ignores ranges, a password-protected
// folder (htpasswd at @DIR@/htpasswd), header checks, redirects and a slow folder.
inline const char* kTestLocations = R"NGINX(
        location /norange/ { max_ranges 0; }
        location /secret/ {
            auth_basic "orbo";
            auth_basic_user_file @DIR@/htpasswd;
        }
        location = /token {
            if ($http_authorization = "Bearer abc123") { return 200 "token-ok"; }
            return 401;
        }
        location = /header {
            if ($http_x_orbo = "yes") { return 200 "header-ok"; }
            return 400;
        }
        location = /to-data { return 302 /data.bin; }
        location = /to-file { return 302 file:///etc/hostname; }
        location /slow/ { limit_rate 256k; }
        location = /md5-good { return 200 "00112233445566778899AABBCCDDEEFF\n"; }
        location = /md5-bad { return 200 "<html>not a digest</html>"; }
)NGINX";

// Size of the body the special server serves.
constexpr size_t kSpecialBodyBytes = 300000;
// Bytes /stall sends before it stops sending.
constexpr size_t kStallSentBytes = 1000;

// A python3 server with behaviours nginx does not have (it prints "SERVING <method> <path>" when
// it begins an answer):
//   /nolength  the pattern body, chunked, without Content-Length (also for HEAD)
//   /stall     announces the pattern body, sends kStallSentBytes of it, then sends nothing more
//   /headers   the request's header lines as the body
//   /echo      POST: the posted bytes as the body
// The body is PatternBytes(kSpecialBodyBytes, 7).
inline const char* kSpecialServerScript = R"PY(
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

def pattern(size, seed):
    out = bytearray(size)
    state = (seed * 2654435761 + 12345) & 0xFFFFFFFF
    for i in range(size):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out[i] = state >> 24
    return bytes(out)

BODY = pattern(300000, 7)
STALL_SENT = 1000

class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(False)

    def do_GET(self):
        self.answer(True)

    def answer(self, with_body):
        print("SERVING", self.command, self.path, flush=True)
        if self.path == "/nolength":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            if with_body:
                for at in range(0, len(BODY), 10000):
                    piece = BODY[at:at + 10000]
                    self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                self.wfile.write(b"0\r\n\r\n")
        elif self.path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", str(len(BODY)))
            self.end_headers()
            if with_body:
                self.wfile.write(BODY[:STALL_SENT])
                self.wfile.flush()
                time.sleep(3600)
        elif self.path == "/headers":
            text = "".join("%s: %s\n" % (k, v) for k, v in self.headers.items()).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(text)))
            self.end_headers()
            if with_body:
                self.wfile.write(text)
        else:
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        data = self.rfile.read(length)
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print("PORT", server.server_address[1], flush=True)
server.serve_forever()
)PY";

// A server that accepts connections and never answers.
inline const char* kSilentServerScript = R"PY(
import socket
listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.bind(("127.0.0.1", 0))
listener.listen(16)
print("PORT", listener.getsockname()[1], flush=True)
held = []
while True:
    connection, _ = listener.accept()
    held.append(connection)
)PY";
