#include "support/nginx_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/whole_file.h"

namespace {

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
        text.replace(at, what.size(), with);
        at += with.size();
    }
    return text;
}

sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

uint16_t PickFreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address = LoopbackAddress(0);
    socklen_t length = sizeof(address);
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool LoopbackPortAccepts(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const sockaddr_in address = LoopbackAddress(port);
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return ok;
}

bool WriteHtpasswd(const std::string& path, const std::string& user, const std::string& password) {
    const std::string hashFile = path + ".hash";
    if (RunProgram({"openssl", "passwd", "-apr1", password}, hashFile) != 0) return false;
    std::string hash = ReadWholeFile(hashFile);
    std::filesystem::remove(hashFile);
    while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
    return !hash.empty() && WriteWholeFile(path, user + ":" + hash + "\n");
}

NginxServer::NginxServer(Options options)
    : m_options(std::move(options)), m_dir(std::make_unique<TempDir>()) {
    std::filesystem::create_directories(DocRoot());
    std::filesystem::create_directories(Folder() + "/tmp");
    if (m_options.tls) MakeCertificates();
}

NginxServer::~NginxServer() {
    Stop();
}

std::string NginxServer::Folder() const {
    return m_dir->Path().string();
}
std::string NginxServer::DocRoot() const {
    return Folder() + "/www";
}
std::string NginxServer::CaFile() const {
    return Folder() + "/ca.crt";
}

std::string NginxServer::Url(const std::string& path) const {
    return std::string(m_options.tls ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(m_port) + path;
}

bool NginxServer::WriteDocument(const std::string& relativePath, const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(DocRoot()) / relativePath;
    return WriteWholeFile(path, bytes);
}

bool NginxServer::MakeCertificates() {
    const std::string dir = Folder();
    const std::string log = dir + "/openssl.log";
    const std::string serverExt = dir + "/server.ext";
    WriteWholeFile(serverExt,
                   "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                   "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1\n");
    const bool ok =
        RunProgram({"openssl",
                    "req",
                    "-x509",
                    "-newkey",
                    "ec",
                    "-pkeyopt",
                    "ec_paramgen_curve:prime256v1",
                    "-nodes",
                    "-keyout",
                    dir + "/ca.key",
                    "-out",
                    CaFile(),
                    "-days",
                    "2",
                    "-subj",
                    "/CN=Orbo Test Authority",
                    "-addext",
                    "basicConstraints=critical,CA:TRUE",
                    "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"},
                   log) == 0 &&
        RunProgram({"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", dir + "/server.key",
                    "-out", dir + "/server.csr", "-subj", "/CN=127.0.0.1"},
                   log) == 0 &&
        RunProgram({"openssl", "x509", "-req", "-in", dir + "/server.csr", "-CA", CaFile(),
                    "-CAkey", dir + "/ca.key", "-CAcreateserial", "-out", dir + "/server.crt",
                    "-days", "2", "-extfile", serverExt},
                   log) == 0;
    if (!ok) m_error = "openssl failed: " + ReadWholeFile(log);
    return ok;
}

bool NginxServer::WriteConfig() {
    const std::string dir = Folder();
    std::string listen = "listen 127.0.0.1:" + std::to_string(m_port);
    std::string tls;
    if (m_options.tls) {
        listen += " ssl";
        tls = "        ssl_certificate " + dir + "/server.crt;\n        ssl_certificate_key " +
              dir + "/server.key;\n";
    }
    const std::string config =
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid " +
        dir +
        "/nginx.pid;\n"
        "events { worker_connections 64; }\n"
        "http {\n"
        "    access_log off;\n"
        "    client_body_temp_path " +
        dir +
        "/tmp/body;\n"
        "    proxy_temp_path " +
        dir +
        "/tmp/proxy;\n"
        "    fastcgi_temp_path " +
        dir +
        "/tmp/fastcgi;\n"
        "    uwsgi_temp_path " +
        dir +
        "/tmp/uwsgi;\n"
        "    scgi_temp_path " +
        dir +
        "/tmp/scgi;\n"
        "    default_type application/octet-stream;\n"
        "    sendfile on;\n"
        "    server {\n"
        "        " +
        listen +
        ";\n"
        "        server_name localhost;\n"
        "        root " +
        DocRoot() + ";\n" + tls + ReplaceAll(m_options.locations, "@DIR@", dir) +
        "\n"
        "    }\n"
        "}\n";
    return WriteWholeFile(dir + "/nginx.conf", config);
}

bool NginxServer::StartOnPort() {
    const std::string dir = Folder();
    std::filesystem::remove(dir + "/nginx.pid");
    if (!WriteConfig()) {
        m_error = "cannot write " + dir + "/nginx.conf";
        return false;
    }
    const std::string errors = dir + "/nginx.stderr";
    std::filesystem::remove(errors);
    if (!m_process.Spawn(
            {"nginx", "-p", dir, "-c", dir + "/nginx.conf", "-g", "daemon off; error_log stderr;"},
            {}, errors)) {
        m_error = m_process.Error();
        return false;
    }
    const bool up = WaitUntil(
        [&] {
            return m_process.HasExited() ||
                   (std::filesystem::exists(dir + "/nginx.pid") && LoopbackPortAccepts(m_port));
        },
        kStartDeadline);
    if (up && !m_process.HasExited()) return true;
    m_error =
        "nginx did not start on port " + std::to_string(m_port) + ": " + ReadWholeFile(errors);
    m_process.Stop(SIGKILL);
    return false;
}

bool NginxServer::Start() {
    if (Running()) return true;
    if (m_options.tls && !std::filesystem::exists(CaFile())) return false;
    if (m_port != 0) return StartOnPort();
    for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
        m_port = PickFreeLoopbackPort();
        if (m_port != 0 && StartOnPort()) return true;
    }
    m_port = 0;
    return false;
}

void NginxServer::Stop() {
    m_process.Stop(SIGKILL);
}

bool NginxServer::Running() {
    return m_process.Pid() > 0 && !m_process.HasExited();
}
