#include "socket_file_server.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/dbg_output.h"
#include "core/folder_list.h"
#include "core/ptr_array_ctrl.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"
#include "misc/md5.h"

namespace {

using Type = SocketFileType;
constexpr const char* kWho = "CSocketFileServer::OnServerReceiveData";

tagSOCKETFILEHEADER ResponseHeader(const tagSOCKETFILEHEADER& request) {
    tagSOCKETFILEHEADER header = request;
    header.version = kSocketFileVersion;
    header.type = request.type + 1;
    return header;
}

std::string Shown(const WCHAR* path) {
    return Utf16ToUtf8Lossy(std::u16string_view(path));
}

// open() flags for an fopen-style mode ("rb", "wb", "a+", "r+b", "wbx"); false for anything else.
bool OpenFlags(const WCHAR* mode, int* flags) {
    if (mode == nullptr || mode[0] == 0) return false;
    bool plus = false;
    bool exclusive = false;
    for (const WCHAR* p = mode + 1; *p != 0; ++p) {
        if (*p == u'+') {
            plus = true;
        } else if (*p == u'x') {
            exclusive = true;
        } else if (*p != u'b' && *p != u't') {
            return false;
        }
    }
    switch (mode[0]) {
        case u'r':
            if (exclusive) return false;
            *flags = plus ? O_RDWR : O_RDONLY;
            break;
        case u'w':
            *flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC | (exclusive ? O_EXCL : 0);
            break;
        case u'a':
            *flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND | (exclusive ? O_EXCL : 0);
            break;
        default:
            return false;
    }
    *flags |= O_CLOEXEC | O_NOCTTY;
    return true;
}

}  // namespace

CSocketFileServer::~CSocketFileServer() {
    Close();
}

void CSocketFileServer::SetFolderPathInterface(IServerFolderPathInterface* folderPath,
                                               uint64_t userValue) {
    std::lock_guard<std::mutex> guard(m_settingsMutex);
    m_folderPath = folderPath;
    m_folderPathUser = userValue;
}

int CSocketFileServer::SetRootFolder(const char* folder) {
    return m_root.Set(folder) ? 1 : 0;
}

void CSocketFileServer::SetListenAddress(const char* address) {
    m_server.SetListenAddress(address);
}

int CSocketFileServer::Create(uint16_t port, const char* name) {
    return m_server.Create(port, 0, 1, this, 0, name);
}

void CSocketFileServer::Close() {
    m_server.Close();
    std::lock_guard<std::mutex> guard(m_filesMutex);
    m_files.clear();
}

uint16_t CSocketFileServer::GetPort() {
    return m_server.GetServerPort();
}

int CSocketFileServer::GetOpenFileCount() {
    std::lock_guard<std::mutex> guard(m_filesMutex);
    return static_cast<int>(m_files.size());
}

void CSocketFileServer::OnServerCloseClient(uint64_t /*userValue*/, tagCLIENTSOCKETINFO* client) {
    std::lock_guard<std::mutex> guard(m_filesMutex);
    int closed = 0;
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (it->second.connection == client->serial) {
            it = m_files.erase(it);
            ++closed;
        } else {
            ++it;
        }
    }
    if (closed > 0) {
        DbgOutputA(kDbgLevelInfo,
                   "CSocketFileServer: closed %d file(s) left open by socket %llu\r\n", closed,
                   static_cast<unsigned long long>(client->socket));
    }
}

int CSocketFileServer::OnServerReceiveData(uint64_t /*userValue*/, tagCLIENTSOCKETINFO* client,
                                           const uint8_t* data, int length) {
    const size_t size = length > 0 ? static_cast<size_t>(length) : 0;
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = ReadSocketFileHeader(data, size, &header);
    if (check == SocketFileCheck::BadVersion) {
        DbgOutputA(kDbgLevelInfo, "%s: Net File Version NOT MATCH\r\n", kWho);
        return 0;
    }
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check) ? 1 : 0;
    bool wellFormed = false;
    switch (static_cast<Type>(header.type)) {
        case Type::ReqFolderPath:
            wellFormed = HandleFolderPath(client, data, size);
            break;
        case Type::ReqOpen:
            wellFormed = HandleOpen(client, data, size);
            break;
        case Type::ReqClose:
        case Type::ReqGetSize:
            wellFormed = HandleHandleRequest(client, data, size);
            break;
        case Type::ReqDelete:
        case Type::ReqGetMD5:
        case Type::ReqGetFolderList:
        case Type::ReqMkdir:
        case Type::ReqRmdir:
            wellFormed = HandlePathRequest(client, data, size);
            break;
        case Type::ReqRename:
            wellFormed = HandleRename(client, data, size);
            break;
        case Type::ReqRead:
            wellFormed = HandleRead(client, data, size);
            break;
        case Type::ReqWrite:
            wellFormed = HandleWrite(client, data, size);
            break;
        default:
            wellFormed = Malformed(client, data, size, SocketFileCheck::WrongRecord);
            break;
    }
    return wellFormed ? 1 : 0;
}

bool CSocketFileServer::HandleFolderPath(tagCLIENTSOCKETINFO* client, const uint8_t* data,
                                         size_t size) {
    tagSOCKETFILEREQFOLDERPATH request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    tagSOCKETFILERESFOLDERPATH response;
    response.header = ResponseHeader(request.header);
    {
        std::lock_guard<std::mutex> guard(m_settingsMutex);
        if (m_folderPath != nullptr) {
            m_folderPath->OnGetFolderPath(request.value, response.path, m_folderPathUser);
        }
    }
    response.path[kSocketFilePathUnits - 1] = 0;
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    Respond(client, bytes);
    return true;
}

bool CSocketFileServer::HandleOpen(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size) {
    tagSOCKETFILEREQOPEN request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    tagSOCKETFILERESOPEN response;
    response.header = ResponseHeader(request.header);
    std::string path;
    int flags = 0;
    if (!OpenFlags(request.mode, &flags)) {
        DbgOutputA(kDbgLevelWarning, "openfile %s: unknown mode \"%s\"\r\n",
                   Shown(request.path).c_str(), Shown(request.mode).c_str());
    } else if (Resolve(request.path, false, "openfile", &path)) {
        std::lock_guard<std::mutex> guard(m_filesMutex);
        int held = 0;
        for (const auto& entry : m_files) held += entry.second.connection == client->serial;
        UniqueFd fd;
        struct stat info {};
        if (held >= kMaxSocketFileOpenFiles) {
            DbgOutputA(kDbgLevelWarning,
                       "openfile %s failed: socket %llu holds %d files already\r\n", path.c_str(),
                       static_cast<unsigned long long>(client->socket), held);
        } else if (fd = UniqueFd(open(path.c_str(), flags, 0666)); !fd.Valid()) {
            DbgOutputA(kDbgLevelInfo, "openfile %s failed:%d\r\n", path.c_str(), errno);
        } else if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            DbgOutputA(kDbgLevelInfo, "openfile %s failed: not a regular file\r\n", path.c_str());
        } else {
            response.value = m_nextHandle++;
            m_files[response.value] = OpenFile{client->serial, std::move(fd)};
        }
    }
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    Respond(client, bytes);
    return true;
}

bool CSocketFileServer::HandleHandleRequest(tagCLIENTSOCKETINFO* client, const uint8_t* data,
                                            size_t size) {
    SocketFileUint64Record request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    std::vector<uint8_t> bytes;
    std::lock_guard<std::mutex> guard(m_filesMutex);
    const int fd = FindFile(client->serial, request.value);
    if (request.header.type == static_cast<uint32_t>(Type::ReqClose)) {
        tagSOCKETFILERESCLOSE response;
        response.header = ResponseHeader(request.header);
        if (fd >= 0) {
            auto it = m_files.find(request.value);
            response.value = it->second.fd.Close() ? 1 : 0;
            if (!response.value) {
                DbgOutputA(kDbgLevelWarning, "closefile failed: %s\r\n", std::strerror(errno));
            }
            m_files.erase(it);
        }
        EncodeSocketFileRecord(response, &bytes);
    } else {
        tagSOCKETFILERESGETSIZE response;
        response.header = ResponseHeader(request.header);
        struct stat info {};
        if (fd >= 0 && fstat(fd, &info) == 0) response.value = static_cast<uint64_t>(info.st_size);
        EncodeSocketFileRecord(response, &bytes);
    }
    Respond(client, bytes);
    return true;
}

bool CSocketFileServer::HandlePathRequest(tagCLIENTSOCKETINFO* client, const uint8_t* data,
                                          size_t size) {
    SocketFilePathRecord request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    const auto type = static_cast<Type>(request.header.type);
    const tagSOCKETFILEHEADER header = ResponseHeader(request.header);
    std::string path;
    std::vector<uint8_t> bytes;
    if (type == Type::ReqGetMD5) {
        tagSOCKETFILERESGETMD5 response;
        response.header = header;
        if (Resolve(request.path, false, "getmd5", &path)) Digest(path, response.digest);
        EncodeSocketFileRecord(response, &bytes);
    } else if (type == Type::ReqGetFolderList) {
        std::vector<uint8_t> folders, files;
        if (Resolve(request.path, true, "getfolderlist", &path) &&
            !ListFolder(path, &folders, &files)) {
            return false;
        }
        tagSOCKETFILERESGETFOLDERLIST response;
        response.header = header;
        response.folderBytes = static_cast<uint32_t>(folders.size());
        response.fileBytes = static_cast<uint32_t>(files.size());
        response.folderNames = folders.data();
        response.fileNames = files.data();
        EncodeSocketFileRecord(response, &bytes);
    } else {
        SocketFileInt32Record response;
        response.header = header;
        if (type == Type::ReqDelete && Resolve(request.path, false, "deletefile", &path)) {
            response.value = DeleteFile(path);
        } else if (type == Type::ReqMkdir && Resolve(request.path, false, "mkdir", &path)) {
            response.value = MakeFolder(path);
        } else if (type == Type::ReqRmdir && Resolve(request.path, true, "rmdir", &path)) {
            response.value = EmptyFolder(path);
        }
        EncodeSocketFileRecord(response, &bytes);
    }
    Respond(client, bytes);
    return true;
}

bool CSocketFileServer::HandleRename(tagCLIENTSOCKETINFO* client, const uint8_t* data,
                                     size_t size) {
    tagSOCKETFILEREQRENAME request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    tagSOCKETFILERESRENAME response;
    response.header = ResponseHeader(request.header);
    std::string from, to;
    if (Resolve(request.oldPath, false, "renamefile", &from) &&
        Resolve(request.newPath, false, "renamefile", &to)) {
        if (rename(from.c_str(), to.c_str()) == 0) {
            response.value = 1;
        } else {
            DbgOutputA(kDbgLevelInfo, "renamefile %s to %s failed:%d\r\n", from.c_str(), to.c_str(),
                       errno);
        }
    }
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    Respond(client, bytes);
    return true;
}

bool CSocketFileServer::HandleRead(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size) {
    tagSOCKETFILEREQREAD request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    if (request.count > kMaxSocketFileIoBytes) {
        DbgOutputA(
            kDbgLevelWarning,
            "%s: socket %llu asked to read %u bytes, beyond the limit of %u: dropping it\r\n", kWho,
            static_cast<unsigned long long>(client->socket), request.count, kMaxSocketFileIoBytes);
        return false;
    }
    std::vector<uint8_t> block(request.count);
    uint32_t done = 0;
    {
        std::lock_guard<std::mutex> guard(m_filesMutex);
        const int fd = FindFile(client->serial, request.handle);
        while (fd >= 0 && done < request.count) {
            const ssize_t n = pread(fd, block.data() + done, request.count - done,
                                    static_cast<off_t>(request.offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<uint32_t>(n);
        }
    }
    tagSOCKETFILERESREAD response;
    response.header = ResponseHeader(request.header);
    response.count = done;
    response.data = block.data();
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    Respond(client, bytes);
    return true;
}

bool CSocketFileServer::HandleWrite(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size) {
    tagSOCKETFILEREQWRITE request;
    const SocketFileCheck check = DecodeSocketFileRecord(data, size, &request);
    if (check != SocketFileCheck::Ok) return Malformed(client, data, size, check);
    uint32_t done = 0;
    {
        std::lock_guard<std::mutex> guard(m_filesMutex);
        const int fd = FindFile(client->serial, request.handle);
        while (fd >= 0 && done < request.count) {
            const ssize_t n = pwrite(fd, request.data + done, request.count - done,
                                     static_cast<off_t>(request.offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                DbgOutputA(kDbgLevelInfo, "writefile failed:%d\r\n", errno);
                break;
            }
            done += static_cast<uint32_t>(n);
        }
    }
    tagSOCKETFILERESWRITE response;
    response.header = ResponseHeader(request.header);
    response.value = static_cast<int32_t>(done);
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(response, &bytes);
    Respond(client, bytes);
    return true;
}

int32_t CSocketFileServer::DeleteFile(const std::string& path) {
    if (unlink(path.c_str()) == 0) return 1;
    DbgOutputA(kDbgLevelInfo, "deletefile %s failed:%d\r\n", path.c_str(), errno);
    return 0;
}

int32_t CSocketFileServer::MakeFolder(const std::string& path) {
    struct stat info {};
    if (mkdir(path.c_str(), 0777) == 0) return 1;
    if (errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 1;
    DbgOutputA(kDbgLevelInfo, "mkdir %s failed:%d\r\n", path.c_str(), errno);
    return 0;
}

int32_t CSocketFileServer::EmptyFolder(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, error))) {
        DbgOutputA(kDbgLevelInfo, "rmdir %s failed: not a folder\r\n", path.c_str());
        return 0;
    }
    int32_t result = 1;
    std::filesystem::directory_iterator it(path, error);
    if (error) result = 0;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        // remove_all never follows a link: a link to a folder elsewhere loses only the link.
        std::error_code removeError;
        std::filesystem::remove_all(it->path(), removeError);
        if (removeError) {
            DbgOutputA(kDbgLevelInfo, "rmdir %s: %s\r\n", it->path().c_str(),
                       removeError.message().c_str());
            result = 0;
        }
    }
    if (error) {
        DbgOutputA(kDbgLevelInfo, "rmdir %s failed: %s\r\n", path.c_str(), error.message().c_str());
        result = 0;
    }
    return result;
}

void CSocketFileServer::Digest(const std::string& path, uint8_t digest[kSocketFileDigestBytes]) {
    std::memset(digest, 0, kSocketFileDigestBytes);
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        DbgOutputA(kDbgLevelInfo, "getmd5 %s failed: not a readable file\r\n", path.c_str());
        return;
    }
    if (info.st_size == 0) return;
    const int descriptor = fd.Get();
    const MD5ReadFunction read = [descriptor](uint8_t* buffer, size_t capacity) -> int64_t {
        for (;;) {
            const ssize_t n = ::read(descriptor, buffer, capacity);
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
    };
    if (!DigestReadMD5(read, static_cast<uint64_t>(info.st_size), digest)) {
        DbgOutputA(kDbgLevelInfo, "getmd5 %s failed: the file could not be read whole\r\n",
                   path.c_str());
        std::memset(digest, 0, kSocketFileDigestBytes);
    }
}

bool CSocketFileServer::ListFolder(const std::string& path, std::vector<uint8_t>* folders,
                                   std::vector<uint8_t>* files) {
    CPtrArrayCtrl folderNames, fileNames;
    if (!GetLocalFolderFileListA(path.c_str(), &folderNames, &fileNames, nullptr, 0, 0)) {
        DbgOutputA(kDbgLevelInfo, "getfolderlist %s failed: the folder cannot be read\r\n",
                   path.c_str());
    }
    // Names go out as UTF-16 joined by ';': a name that holds a ';' cannot be told apart from two
    // names, and a name that is not UTF-8 has no UTF-16 form; both are left out.
    std::vector<std::u16string> keep[2];
    CPtrArrayCtrl* lists[2] = {&folderNames, &fileNames};
    for (int which = 0; which < 2; ++which) {
        for (int i = 0; i < lists[which]->GetCount(); ++i) {
            const auto* name = static_cast<const char*>(lists[which]->GetAt(i));
            std::u16string wide;
            if (!Utf8ToUtf16(name, wide) || wide.find(u';') != std::u16string::npos) {
                DbgOutputA(kDbgLevelWarning, "getfolderlist %s: name \"%s\" left out\r\n",
                           path.c_str(), name);
                continue;
            }
            keep[which].push_back(std::move(wide));
        }
    }
    FreeFileListA(&folderNames);
    FreeFileListA(&fileNames);
    std::vector<uint8_t>* outs[2] = {folders, files};
    for (int which = 0; which < 2; ++which) {
        CPtrArrayCtrl names;
        for (const std::u16string& name : keep[which]) {
            names.AddData(const_cast<char16_t*>(name.c_str()));
        }
        JoinSocketFileNames(&names, outs[which]);
    }
    const uint64_t total = SocketFileRecordSize(static_cast<uint32_t>(Type::ResGetFolderList)) +
                           folders->size() + files->size();
    if (total > kMaxSocketPacketBytes) {
        DbgOutputA(kDbgLevelError,
                   "getfolderlist %s: the list of %llu bytes is too long to send, dropping the "
                   "request's connection\r\n",
                   path.c_str(), static_cast<unsigned long long>(total));
        return false;
    }
    return true;
}

int CSocketFileServer::FindFile(uint64_t connection, uint64_t handle) {
    const auto it = m_files.find(handle);
    if (it == m_files.end() || it->second.connection != connection) return -1;
    return it->second.fd.Get();
}

bool CSocketFileServer::Resolve(const WCHAR* requested, bool allowRoot, const char* operation,
                                std::string* out) {
    std::string why;
    if (m_root.Resolve(requested, allowRoot, out, &why)) return true;
    DbgOutputA(kDbgLevelWarning, "%s %s refused: %s\r\n", operation, Shown(requested).c_str(),
               why.c_str());
    return false;
}

bool CSocketFileServer::Respond(tagCLIENTSOCKETINFO* client, const std::vector<uint8_t>& bytes) {
    return m_server.SendData(client->socket, bytes.data(), static_cast<int>(bytes.size())) != 0;
}

bool CSocketFileServer::Malformed(tagCLIENTSOCKETINFO* client, const uint8_t* data, size_t size,
                                  SocketFileCheck check) {
    tagSOCKETFILEHEADER header;
    ReadSocketFileHeader(data, size, &header);
    const uint32_t type = header.type;
    DbgOutputA(kDbgLevelWarning,
               "%s: socket %llu sent a malformed message (type %u: %s), "
               "dropping the connection\r\n",
               kWho, static_cast<unsigned long long>(client->socket), type,
               SocketFileCheckText(check));
    return false;
}
