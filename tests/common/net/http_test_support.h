// What the HTTP tests share: the test servers' scripts and nginx locations, a byte pattern for
// served files, and the certificate authority as a CBaseBuffer.
#pragma once

#include <cstdint>
#include <string>

#include "core/base_buffer.h"
#include "support/child_process.h"

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
    const std::string text = ReadTextFile(path);
    out->SetBuffer(text.data(), static_cast<uint32_t>(text.size()));
}

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

// A python3 server with behaviours nginx does not have:
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
