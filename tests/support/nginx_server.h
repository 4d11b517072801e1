// An nginx of the test's own on 127.0.0.1: private folder, configuration and port, run as the
// current user in the foreground as a single process (so stopping it ends every connection).
//
// The port is chosen by binding a socket to port 0 and releasing it; when nginx cannot bind it
// (another process took it meanwhile) another port is tried. Start() returns once the port
// accepts connections and nginx has written its pid file (within kStartDeadline). Stop() and a
// later Start() keep the port, so a client can see the server go away and come back.
//
// With tls, the fixture makes its own certificate authority with openssl (CaFile(), a PEM file)
// and a server certificate for IP address 127.0.0.1 signed by it.
//
// `locations` are configuration lines inside the server block; "@DIR@" in them stands for the
// fixture's folder (where a test may put files such as an htpasswd file). Files served come from
// DocRoot(). Used by one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/child_process.h"

class TempDir;

class NginxServer {
public:
    static constexpr std::chrono::milliseconds kStartDeadline{15000};
    static constexpr int kPortAttempts = 8;

    struct Options {
        bool tls = false;
        std::string locations;
    };

    // Prepares the folder (and the certificates with tls); does not start.
    explicit NginxServer(Options options);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // True when nginx serves on the port; otherwise Error() tells why.
    bool Start();
    // Ends nginx at once (SIGKILL: connections in progress break off). Nothing when not running.
    void Stop();
    bool Running();

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" or "https://..." followed by path (which starts with '/').
    std::string Url(const std::string& path) const;
    std::string Folder() const;
    std::string DocRoot() const;
    // The certificate authority's PEM file (tls only).
    std::string CaFile() const;
    const std::string& Error() const { return m_error; }

    // Writes a file below DocRoot() (folders created). False when it cannot be written.
    bool WriteDocument(const std::string& relativePath, const std::string& bytes);

private:
    bool MakeCertificates();
    bool WriteConfig();
    bool StartOnPort();

    Options m_options;
    std::unique_ptr<TempDir> m_dir;
    ChildProcess m_process;
    uint16_t m_port = 0;
    std::string m_error;
};

// A free TCP port on 127.0.0.1 at the moment of the call (0 when none could be had).
uint16_t PickFreeLoopbackPort();

// True when a TCP connection to 127.0.0.1:port is accepted.
bool LoopbackPortAccepts(uint16_t port);

// Makes an htpasswd line "user:<apr1 hash>" with openssl and writes it to path.
bool WriteHtpasswd(const std::string& path, const std::string& user, const std::string& password);
