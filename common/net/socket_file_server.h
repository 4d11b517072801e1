// CSocketFileServer: the server side of the remote file service (messages in
// socket_file_records.h). Connected clients open, read, write, close, delete and rename files,
// list, create and empty folders, and get a file's size or MD5 digest on this machine.
//
// The service has no authentication: anyone who can connect may do all of that with the rights
// of this process. Run it on trusted networks only, and give it a root folder (SetRootFolder)
// outside which nothing is served; see socket_file_root.h.
//
// Every request is answered with one response carrying the request's sequence number and
// context, and results tell what really happened (1 done, 0 failed). A request that is malformed
// (another version, an unknown or unexpected type, a size that does not match its type, a count
// beyond kMaxSocketFileIoBytes) ends that client's connection with a log line.
//
// Open files belong to the connection that opened it: a handle is a token issued by this server
// and looked up among the files of the requesting connection only, so no client can reach
// another's files, and a connection that ends closes its own files and nobody else's. A
// connection holds at most kMaxSocketFileOpenFiles files at once.
//
// Threads: requests are handled one at a time, under the server's client lock (on its receive or
// dispatch thread, see socket_server.h); the setters may be called from any thread; Create and
// Close as for CSocketServer.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/common_api.h"
#include "core/platform_types.h"
#include "core/unique_fd.h"
#include "socket_file_records.h"
#include "socket_file_root.h"
#include "socket_server.h"

// Files one connection may hold open at once.
constexpr int kMaxSocketFileOpenFiles = 64;

// Answers request 1: the path of a folder kind, chosen by the server's owner.
class ORBO_COMMON_API IServerFolderPathInterface {
public:
    virtual ~IServerFolderPathInterface() = default;
    // Fills `path` (kSocketFilePathUnits units, zeroed on entry) with the folder of that kind.
    // With a root folder set, answer paths relative to it, as clients will send them back.
    virtual void OnGetFolderPath(int kind, WCHAR* path, uint64_t userValue) = 0;
};

class ORBO_COMMON_API CSocketFileServer : public IServerSocketListener {
public:
    CSocketFileServer() = default;
    // Closes the server.
    ~CSocketFileServer() override;
    CSocketFileServer(const CSocketFileServer&) = delete;
    CSocketFileServer& operator=(const CSocketFileServer&) = delete;

    // The interface that answers request 1 and its user value; null answers with an empty path.
    void SetFolderPathInterface(IServerFolderPathInterface* folderPath, uint64_t userValue);
    // The folder outside which nothing is served (UTF-8; null or empty: none). 0 when it is not
    // an existing folder: every path is refused then until a valid root is set.
    int SetRootFolder(const char* folder);
    // The local address to listen on (see CSocketServer::SetListenAddress). Before Create.
    void SetListenAddress(const char* address);

    // Listens on the port (0 = any free port) in packet mode with match checking; the server's
    // threads are "TCPAccept_<name>", "TCPRecv_<name>", "TCPDispatch_<name>", "TCPClose_<name>".
    // 1 on success.
    int Create(uint16_t port, const char* name);
    // Closes the server and every file still open.
    void Close();
    // The listening port, 0 when closed.
    uint16_t GetPort();
    // Files open over all connections.
    int GetOpenFileCount();

    void OnServerCloseClient(uint64_t userValue, tagCLIENTSOCKETINFO* client) override;
    int OnServerReceiveData(uint64_t userValue, tagCLIENTSOCKETINFO* client, const uint8_t* data,
                            int length) override;

private:
    struct OpenFile {
        uint64_t connection;  // the tagCLIENTSOCKETINFO serial
        UniqueFd fd;
    };

    // Request handlers: false when the request was malformed (the connection is dropped).
    bool HandleFolderPath(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);
    bool HandleOpen(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);
    bool HandleHandleRequest(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);
    bool HandlePathRequest(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);
    bool HandleRename(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);
    bool HandleRead(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);
    bool HandleWrite(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size);

    int32_t DeleteFile(const std::string& path);
    int32_t MakeFolder(const std::string& path);
    int32_t EmptyFolder(const std::string& path);
    void Digest(const std::string& path, uint8_t digest[kSocketFileDigestBytes]);
    // The folder list response's name bytes; false when the listing is too long to send.
    bool ListFolder(const std::string& path, std::vector<uint8_t>* folders,
                    std::vector<uint8_t>* files);

    // The open file of that handle for the connection; -1 when it has none. m_filesMutex held.
    int FindFile(uint64_t connection, uint64_t handle);
    bool Resolve(const WCHAR* requested, bool allowRoot, const char* operation, std::string* out);
    // Sends an encoded response; false when it could not be sent.
    bool Respond(tagCLIENTSOCKETINFO* client, const std::vector<uint8_t>& bytes);
    bool Malformed(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size,
                   SocketFileCheck check);

    CTCPSocketServer m_server;
    SocketFileRoot m_root;
    std::mutex m_settingsMutex;
    IServerFolderPathInterface* m_folderPath = nullptr;
    uint64_t m_folderPathUser = 0;
    std::mutex m_filesMutex;
    std::map<uint64_t, OpenFile> m_files;  // by handle
    uint64_t m_nextHandle = 1;
};
