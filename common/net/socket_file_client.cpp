#include "socket_file_client.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/base_event.h"
#include "core/byte_order.h"
#include "core/dbg_output.h"
#include "core/mono_clock.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"

namespace {

using Type = SocketFileType;
constexpr const char* kReceiveWho = "CSocketFileClient::OnClientReceiveData";

uint32_t TypeValue(Type type) {
    return static_cast<uint32_t>(type);
}

// UTF-16 little-endian bytes as a wide string.
void SetWideText(const uint8_t* data, uint32_t bytes, CBaseStringW* out) {
    if (out == nullptr) return;
    std::u16string text(bytes / 2, u'\0');
    for (uint32_t i = 0; i < bytes / 2; ++i) {
        text[i] = static_cast<char16_t>(ReadLe16(data + 2 * i));
    }
    out->Set(text.c_str(), static_cast<int>(text.size()));
}

int ModeLength(const WCHAR* mode) {
    int length = 0;
    while (mode != nullptr && mode[length] != 0) ++length;
    return length;
}

}  // namespace

struct CSocketFileClient::Pending {
    uint32_t sequence = 0;
    uint32_t responseType = 0;
    uint64_t context = 0;
    CBaseEvent event;
    bool answered = false;
    // Where the answer goes: the waiting caller's own outputs.
    int32_t* int32Out = nullptr;
    uint64_t* uint64Out = nullptr;
    WCHAR* pathOut = nullptr;
    uint8_t* bytesOut = nullptr;
    uint32_t bytesCapacity = 0;
    uint32_t* bytesCount = nullptr;
    uint8_t* digestOut = nullptr;
    CBaseStringW* foldersOut = nullptr;
    CBaseStringW* filesOut = nullptr;
};

CSocketFileClient::~CSocketFileClient() {
    Close();
}

int CSocketFileClient::Create(const char* host, uint16_t port, const char* name) {
    Close();
    return m_socket.Create(host, port, 0, 1, this, 0, name);
}

void CSocketFileClient::Close() {
    m_socket.Close();
    m_handle.store(0);
    WakeAll();
}

int CSocketFileClient::IsConnect() {
    return m_socket.IsConnect();
}

template <class Record>
bool CSocketFileClient::Call(const char* operation, Record& request, Pending& pending,
                             uint64_t timeLimitMs) {
    {
        CAutoBaseLock guard(&m_lock);
        pending.sequence = m_nextSequence++;
    }
    request.header.version = kSocketFileVersion;
    request.header.sequence = pending.sequence;
    request.header.context = static_cast<uint64_t>(request.header.type) << 32 | pending.sequence;
    pending.responseType = request.header.type + 1;
    pending.context = request.header.context;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(request, &bytes);
    return Exchange(operation, bytes, pending, timeLimitMs);
}

bool CSocketFileClient::Exchange(const char* operation, const std::vector<uint8_t>& request,
                                 Pending& pending, uint64_t timeLimitMs) {
    if (!m_socket.IsConnect()) {
        DbgOutputA(kDbgLevelInfo, "%s: SendData Failed\r\n", operation);
        return false;
    }
    {
        CAutoBaseLock guard(&m_lock);
        m_pending.push_back(&pending);
    }
    // A connection that ends from here on wakes this caller (the record is listed first).
    if (!m_socket.SendData(kSocketDestServer, request.data(), static_cast<int>(request.size()))) {
        DbgOutputA(kDbgLevelInfo, "%s: SendData Failed\r\n", operation);
    } else {
        const uint64_t wait =
            timeLimitMs == 0 || timeLimitMs == UINT64_MAX ? kEventWaitForever : timeLimitMs;
        if (!pending.event.Wait(wait)) {
            DbgOutputA(kDbgLevelInfo, "%s: wait response timeout\r\n", operation);
        }
    }
    CAutoBaseLock guard(&m_lock);
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), &pending), m_pending.end());
    return pending.answered;
}

int CSocketFileClient::GetFolderPath(int kind, WCHAR* path) {
    if (path != nullptr) path[0] = 0;
    WCHAR answer[kSocketFilePathUnits] = {};
    Pending pending;
    pending.pathOut = answer;
    tagSOCKETFILEREQFOLDERPATH request;
    request.header.type = TypeValue(Type::ReqFolderPath);
    request.value = kind;
    if (!Call("CSocketFileClient::GetFolderPath", request, pending,
              kSocketFileRequestTimeLimitMs)) {
        return 0;
    }
    if (path != nullptr) std::memcpy(path, answer, sizeof(answer));
    return 1;
}

int CSocketFileClient::OpenFile(const WCHAR* path, const WCHAR* mode) {
    if (!FitsSocketFilePath(path) || ModeLength(mode) >= kSocketFileModeUnits ||
        ModeLength(mode) == 0) {
        DbgOutputA(kDbgLevelWarning,
                   "CSocketFileClient::OpenFile: path or mode too long or missing\r\n");
        return 0;
    }
    if (m_handle.load() != 0) CloseFile();
    uint64_t handle = 0;
    Pending pending;
    pending.uint64Out = &handle;
    tagSOCKETFILEREQOPEN request;
    request.header.type = TypeValue(Type::ReqOpen);
    StoreSocketFileText(request.path, kSocketFilePathUnits, path);
    StoreSocketFileText(request.mode, kSocketFileModeUnits, mode);
    if (!Call("CSocketFileClient::OpenFile", request, pending, kSocketFileRequestTimeLimitMs) ||
        handle == 0) {
        return 0;
    }
    m_handle.store(handle);
    return 1;
}

int CSocketFileClient::CloseFile() {
    const uint64_t handle = m_handle.exchange(0);
    if (handle == 0) return 0;
    int32_t result = 0;
    Pending pending;
    pending.int32Out = &result;
    tagSOCKETFILEREQCLOSE request;
    request.header.type = TypeValue(Type::ReqClose);
    request.value = handle;
    Call("CSocketFileClient::CloseFile", request, pending, kSocketFileRequestTimeLimitMs);
    return result;
}

uint64_t CSocketFileClient::GetFileSize() {
    uint64_t size = 0;
    Pending pending;
    pending.uint64Out = &size;
    tagSOCKETFILEREQGETSIZE request;
    request.header.type = TypeValue(Type::ReqGetSize);
    request.value = m_handle.load();
    Call("CSocketFileClient::GetFileSize", request, pending, kSocketFileRequestTimeLimitMs);
    return size;
}

uint32_t CSocketFileClient::ReadFile(uint64_t offset, void* buffer, uint32_t count,
                                     uint64_t timeLimitMs) {
    const uint64_t handle = m_handle.load();
    if (!m_socket.IsConnect() || handle == 0) {
        DbgOutputA(kDbgLevelInfo, "Net Closed!!\r\n");
        return 0;
    }
    if (buffer == nullptr || count == 0) return 0;
    count = std::min(count, kMaxSocketFileIoBytes);
    const uint64_t start = MonoTimeMs();
    uint32_t done = 0;
    Pending pending;
    pending.bytesOut = static_cast<uint8_t*>(buffer);
    pending.bytesCapacity = count;
    pending.bytesCount = &done;
    tagSOCKETFILEREQREAD request;
    request.header.type = TypeValue(Type::ReqRead);
    request.handle = handle;
    request.offset = offset;
    request.count = count;
    Call("CSocketFileClient::ReadFile", request, pending, timeLimitMs);
    Pace(done, MonoTimeMs() - start, m_readLimit.load());
    return done;
}

uint32_t CSocketFileClient::WriteFile(uint64_t offset, const void* data, uint32_t count,
                                      uint64_t timeLimitMs) {
    const uint64_t handle = m_handle.load();
    if (!m_socket.IsConnect() || handle == 0) {
        DbgOutputA(kDbgLevelInfo, "Net Closed!!\r\n");
        return 0;
    }
    if (data == nullptr || count == 0) return 0;
    count = std::min(count, kMaxSocketFileIoBytes);
    const uint64_t start = MonoTimeMs();
    int32_t written = 0;
    Pending pending;
    pending.int32Out = &written;
    tagSOCKETFILEREQWRITE request;
    request.header.type = TypeValue(Type::ReqWrite);
    request.handle = handle;
    request.offset = offset;
    request.count = count;
    request.data = static_cast<const uint8_t*>(data);
    Call("CSocketFileClient::WriteFile", request, pending, timeLimitMs);
    const uint32_t done = written > 0 ? std::min(static_cast<uint32_t>(written), count) : 0;
    Pace(done, MonoTimeMs() - start, m_writeLimit.load());
    return done;
}

int CSocketFileClient::GetFileMD5(const WCHAR* path, uint8_t digest[kSocketFileDigestBytes]) {
    uint8_t answer[kSocketFileDigestBytes] = {};
    if (digest != nullptr) std::memset(digest, 0, kSocketFileDigestBytes);
    if (!FitsSocketFilePath(path)) return 0;
    Pending pending;
    pending.digestOut = answer;
    tagSOCKETFILEREQGETMD5 request;
    request.header.type = TypeValue(Type::ReqGetMD5);
    StoreSocketFileText(request.path, kSocketFilePathUnits, path);
    if (!Call("CSocketFileClient::GetFileMD5", request, pending, kSocketFileMD5TimeLimitMs)) {
        return 0;
    }
    if (digest != nullptr) std::memcpy(digest, answer, sizeof(answer));
    return 1;
}

int CSocketFileClient::ResultRequest(const char* operation, SocketFileType type,
                                     const WCHAR* path) {
    if (!FitsSocketFilePath(path)) {
        DbgOutputA(kDbgLevelWarning, "%s: path too long\r\n", operation);
        return 0;
    }
    int32_t result = 0;
    Pending pending;
    pending.int32Out = &result;
    SocketFilePathRecord request;
    request.header.type = TypeValue(type);
    StoreSocketFileText(request.path, kSocketFilePathUnits, path);
    Call(operation, request, pending, kSocketFileRequestTimeLimitMs);
    return result;
}

int CSocketFileClient::DeleteFileW(const WCHAR* path) {
    return ResultRequest("CSocketFileClient::DeleteFileW", Type::ReqDelete, path);
}

int CSocketFileClient::MakeDirectory(const WCHAR* path) {
    return ResultRequest("CSocketFileClient::MakeDirectory", Type::ReqMkdir, path);
}

int CSocketFileClient::RemoveDirectoryW(const WCHAR* path) {
    return ResultRequest("CSocketFileClient::RemoveDirectoryW", Type::ReqRmdir, path);
}

int CSocketFileClient::RenameFile(const WCHAR* oldPath, const WCHAR* newPath) {
    if (!FitsSocketFilePath(oldPath) || !FitsSocketFilePath(newPath)) {
        DbgOutputA(kDbgLevelWarning, "CSocketFileClient::RenameFile: path too long\r\n");
        return 0;
    }
    int32_t result = 0;
    Pending pending;
    pending.int32Out = &result;
    tagSOCKETFILEREQRENAME request;
    request.header.type = TypeValue(Type::ReqRename);
    StoreSocketFileText(request.oldPath, kSocketFilePathUnits, oldPath);
    StoreSocketFileText(request.newPath, kSocketFilePathUnits, newPath);
    Call("CSocketFileClient::RenameFile", request, pending, kSocketFileRequestTimeLimitMs);
    return result;
}

int CSocketFileClient::GetFolderList(const WCHAR* path, CBaseStringW* folders,
                                     CBaseStringW* files) {
    CBaseStringW folderText, fileText;
    if (folders != nullptr) folders->Set(u"");
    if (files != nullptr) files->Set(u"");
    if (!FitsSocketFilePath(path)) return 0;
    Pending pending;
    pending.foldersOut = &folderText;
    pending.filesOut = &fileText;
    tagSOCKETFILEREQGETFOLDERLIST request;
    request.header.type = TypeValue(Type::ReqGetFolderList);
    StoreSocketFileText(request.path, kSocketFilePathUnits, path);
    if (!Call("CSocketFileClient::GetFolderList", request, pending,
              kSocketFileRequestTimeLimitMs)) {
        return 0;
    }
    if (folders != nullptr) folders->Set(&folderText);
    if (files != nullptr) files->Set(&fileText);
    return 1;
}

int CSocketFileClient::OnClientReceiveData(uint64_t /*userValue*/, uint64_t socket,
                                           const uint8_t* data, int length) {
    const size_t size = length > 0 ? static_cast<size_t>(length) : 0;
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = ReadSocketFileHeader(data, size, &header);
    if (check == SocketFileCheck::BadVersion) {
        DbgOutputA(kDbgLevelInfo, "%s: Net File Version NOT MATCH\r\n", kReceiveWho);
        return 0;
    }
    if (check != SocketFileCheck::Ok) {
        DbgOutputA(kDbgLevelWarning, "%s: socket %llu: %s, dropping the connection\r\n",
                   kReceiveWho, static_cast<unsigned long long>(socket),
                   SocketFileCheckText(check));
        return 0;
    }
    CAutoBaseLock guard(&m_lock);
    const auto it = std::find_if(m_pending.begin(), m_pending.end(), [&](const Pending* p) {
        return p->sequence == header.sequence && !p->answered;
    });
    if (it == m_pending.end()) {
        DbgOutputA(kDbgLevelInfo, "%s: response %u (type %u) has no waiting request, ignored\r\n",
                   kReceiveWho, header.sequence, header.type);
        return 1;
    }
    Pending& pending = **it;
    if (header.type != pending.responseType || header.context != pending.context ||
        !StoreResponse(pending, data, size)) {
        DbgOutputA(kDbgLevelWarning,
                   "%s: response %u (type %u) does not fit its request (type %u), dropping the "
                   "connection\r\n",
                   kReceiveWho, header.sequence, header.type, pending.responseType - 1);
        return 0;
    }
    pending.answered = true;
    pending.event.Set();
    return 1;
}

bool CSocketFileClient::StoreResponse(Pending& pending, const uint8_t* data, size_t size) {
    switch (static_cast<Type>(pending.responseType)) {
        case Type::ResFolderPath: {
            tagSOCKETFILERESFOLDERPATH response;
            if (DecodeSocketFileRecord(data, size, &response) != SocketFileCheck::Ok) return false;
            if (pending.pathOut != nullptr) {
                std::memcpy(pending.pathOut, response.path, sizeof(response.path));
            }
            return true;
        }
        case Type::ResOpen:
        case Type::ResGetSize: {
            SocketFileUint64Record response;
            if (DecodeSocketFileRecord(data, size, &response) != SocketFileCheck::Ok) return false;
            if (pending.uint64Out != nullptr) *pending.uint64Out = response.value;
            return true;
        }
        case Type::ResRead: {
            tagSOCKETFILERESREAD response;
            if (DecodeSocketFileRecord(data, size, &response) != SocketFileCheck::Ok ||
                response.count > pending.bytesCapacity || pending.bytesOut == nullptr) {
                return false;
            }
            if (response.count > 0) std::memcpy(pending.bytesOut, response.data, response.count);
            if (pending.bytesCount != nullptr) *pending.bytesCount = response.count;
            return true;
        }
        case Type::ResGetMD5: {
            tagSOCKETFILERESGETMD5 response;
            if (DecodeSocketFileRecord(data, size, &response) != SocketFileCheck::Ok) return false;
            if (pending.digestOut != nullptr) {
                std::memcpy(pending.digestOut, response.digest, sizeof(response.digest));
            }
            return true;
        }
        case Type::ResGetFolderList: {
            tagSOCKETFILERESGETFOLDERLIST response;
            if (DecodeSocketFileRecord(data, size, &response) != SocketFileCheck::Ok) return false;
            SetWideText(response.folderNames, response.folderBytes, pending.foldersOut);
            SetWideText(response.fileNames, response.fileBytes, pending.filesOut);
            return true;
        }
        default: {
            SocketFileInt32Record response;
            if (DecodeSocketFileRecord(data, size, &response) != SocketFileCheck::Ok) return false;
            if (pending.int32Out != nullptr) *pending.int32Out = response.value;
            return true;
        }
    }
}

void CSocketFileClient::OnClientDisconnectFromServer(uint64_t /*userValue*/, uint64_t socket) {
    DbgOutputA(kDbgLevelInfo, "Client Socket(%d) Disconnect\r\n", static_cast<int>(socket));
    m_handle.store(0);
    WakeAll();
}

void CSocketFileClient::WakeAll() {
    CAutoBaseLock guard(&m_lock);
    for (Pending* pending : m_pending) pending->event.Set();
}

void CSocketFileClient::Pace(uint64_t bytes, uint64_t elapsedMs, uint64_t limit) {
    if (limit == 0 || bytes == 0) return;
    const uint64_t due = bytes * 1000 / limit;
    if (elapsedMs < due) SleepMs(due);
}
