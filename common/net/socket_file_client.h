// CSocketFileClient: the client side of the remote file service (socket_file_server.h). Each
// operation sends one request and waits for its response, a blocking call.
//
// Responses are matched to their requests by sequence number, type and context, and a response's
// values are stored on the client's side into the waiting caller's own outputs (never through
// anything that came over the wire); a response nobody waits for any more (one that came after
// its time-out) is ignored. A response that does not fit its request (wrong type, a read longer
// than asked for, a malformed record) ends the connection with a log line.
//
// The client keeps the handle of the one file it has open on the server; OpenFile closes a file
// still open first. Without a connection every operation logs "%s: SendData Failed\r\n" with its
// name and returns its failure value (ReadFile and WriteFile log "Net Closed!!\r\n").
//
// Threads: the operations may be called from several threads at once (each waits for its own
// response), though the kept file handle is one per client: concurrent copies use a client each.
// The receive thread only stores results and wakes callers.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/base_lock.h"
#include "core/base_string.h"
#include "core/common_api.h"
#include "core/platform_types.h"
#include "socket_client.h"
#include "socket_file_records.h"

// Time limits of the requests (ReadFile and WriteFile take theirs from the caller).
constexpr uint64_t kSocketFileRequestTimeLimitMs = 5000;
constexpr uint64_t kSocketFileMD5TimeLimitMs = 60000;

class ORBO_COMMON_API CSocketFileClient : public IClientSocketListener {
public:
    CSocketFileClient() = default;
    // Closes the connection.
    ~CSocketFileClient() override;
    CSocketFileClient(const CSocketFileClient&) = delete;
    CSocketFileClient& operator=(const CSocketFileClient&) = delete;

    // Connects (time limit kTcpConnectTimeLimitMs) in packet mode with match checking and greets
    // the server; the receive thread is "TCPRecv_<name>". 1 when connected.
    int Create(const char* host, uint16_t port, const char* name);
    // Ends the connection; callers still waiting return their failure values.
    void Close();
    int IsConnect();

    // The server's folder of that kind into `path` (kSocketFilePathUnits units; empty when the
    // server has none). 1 when the server answered.
    int GetFolderPath(int kind, WCHAR* path);
    // Opens a file on the server with an fopen-style mode ("rb", "wb", "r+b", "ab", "wbx"...;
    // at most 15 units); a path must fit 259 units. 1 when the server opened it.
    int OpenFile(const WCHAR* path, const WCHAR* mode);
    // Closes the kept file: the server's result (1 closed without error); 0 without a file. The
    // kept handle is cleared in any case.
    int CloseFile();
    // The kept file's size; 0 without a file or answer.
    uint64_t GetFileSize();
    // Reads up to `count` bytes (at most kMaxSocketFileIoBytes per call) from the offset into
    // the buffer: the number of bytes read. Waits timeLimitMs for the answer (0 or UINT64_MAX: no
    // limit), then applies the read-speed limit.
    uint32_t ReadFile(uint64_t offset, void* buffer, uint32_t count, uint64_t timeLimitMs);
    // Writes `count` bytes (at most kMaxSocketFileIoBytes per call) at the offset: the number of
    // bytes the server wrote. Waits and limits as ReadFile.
    uint32_t WriteFile(uint64_t offset, const void* data, uint32_t count, uint64_t timeLimitMs);
    // Speed limits in bytes per second (0 = none): after a read or write of n bytes that took
    // less than n * 1000 / limit milliseconds, the call sleeps n * 1000 / limit milliseconds.
    void LimitReadSpeed(uint64_t bytesPerSecond) { m_readLimit.store(bytesPerSecond); }
    void LimitWriteSpeed(uint64_t bytesPerSecond) { m_writeLimit.store(bytesPerSecond); }
    // The MD5 digest of a server file (16 zero bytes for an empty or unreadable one). 1 when the
    // server answered.
    int GetFileMD5(const WCHAR* path, uint8_t digest[kSocketFileDigestBytes]);
    // The server's results (1 done, 0 failed or no answer).
    int DeleteFileW(const WCHAR* path);
    int RenameFile(const WCHAR* oldPath, const WCHAR* newPath);
    int MakeDirectory(const WCHAR* path);
    // Removes everything inside the folder (the folder itself stays).
    int RemoveDirectoryW(const WCHAR* path);
    // The names of a server folder's sub-folders and files, each list joined by ';'. 1 when the
    // server answered.
    int GetFolderList(const WCHAR* path, CBaseStringW* folders, CBaseStringW* files);

    // The handle of the kept file, 0 for none.
    uint64_t GetFileHandle() const { return m_handle.load(); }

    int OnClientReceiveData(uint64_t userValue, uint64_t socket, const uint8_t* data,
                            int length) override;
    void OnClientDisconnectFromServer(uint64_t userValue, uint64_t socket) override;

private:
    struct Pending;

    // Sends the request and waits for its answer: true when it came. Fills the request's header.
    template <class Record>
    bool Call(const char* operation, Record& request, Pending& pending, uint64_t timeLimitMs);
    bool Exchange(const char* operation, const std::vector<uint8_t>& request, Pending& pending,
                  uint64_t timeLimitMs);
    int ResultRequest(const char* operation, SocketFileType type, const WCHAR* path);
    // Stores a response into its waiting caller's outputs; false when it does not fit.
    bool StoreResponse(Pending& pending, const uint8_t* data, size_t size);
    void WakeAll();
    void Pace(uint64_t bytes, uint64_t elapsedMs, uint64_t limit);

    CTCPSocketClient m_socket;
    CBaseLock m_lock;
    std::vector<Pending*> m_pending;
    uint32_t m_nextSequence = 0;
    std::atomic<uint64_t> m_handle{0};
    std::atomic<uint64_t> m_readLimit{0};
    std::atomic<uint64_t> m_writeLimit{0};
};
