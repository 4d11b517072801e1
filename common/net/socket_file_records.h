// The messages of the remote file service, written and read field by field (little-endian) from
// memory. Every request and response is the payload of one packet (socket_packet.h) and begins
// with a 20-byte header:
//   offset 0  version 0x10000003 (uint32)
//   offset 4  sequence number (uint32): the client's per-request counter, copied into the response
//   offset 8  message type (uint32, 1 to 24; a response's type is its request's type + 1)
//   offset 12 context (uint64): chosen by the client, copied unchanged into the response
// After the header, per type (paths are 260 UTF-16 units with a terminator, modes 16 units):
//   1  REQFOLDERPATH    24  folder kind (int32)
//   2  RESFOLDERPATH    540 path
//   3  REQOPEN          572 path; open mode
//   4  RESOPEN          28  handle (uint64; 0 = none)
//   5  REQCLOSE         28  handle
//   6  RESCLOSE         24  result (int32)
//   7  REQDELETE        540 path
//   8  RESDELETE        24  result
//   9  REQRENAME        1060 old path; new path
//   10 RESRENAME        24  result
//   11 REQGETSIZE       28  handle
//   12 RESGETSIZE       28  size (uint64)
//   13 REQREAD          40  handle; offset (uint64); count (uint32)
//   14 RESREAD          24+n  n (uint32); n bytes
//   15 REQWRITE         40+n  handle; offset; n (uint32); n bytes
//   16 RESWRITE         24  bytes written (int32)
//   17 REQGETMD5        540 path
//   18 RESGETMD5        36  digest (16 bytes)
//   19 REQGETFOLDERLIST 540 path
//   20 RESGETFOLDERLIST 28+a+b  a (uint32); b (uint32); a bytes of folder names; b of file names
//   21 REQMKDIR         540 path;  22 RESMKDIR 24 result
//   23 REQRMDIR         540 path;  24 RESRMDIR 24 result
// The name lists of type 20 are UTF-16 names joined by ';' without a terminator.
//
// Decoding checks everything a peer could get wrong before a field is used: the version, the
// type, the exact size of the type's record, byte counts within kMaxSocketFileIoBytes and
// matching the record's size, even byte counts for UTF-16 text; paths and modes always end with a
// terminator. Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/common_api.h"
#include "core/platform_types.h"

class CPtrCtrl;

constexpr uint32_t kSocketFileVersion = 0x10000003u;
constexpr size_t kSocketFileHeaderBytes = 20;
constexpr int kSocketFilePathUnits = 260;
constexpr int kSocketFileModeUnits = 16;
constexpr size_t kSocketFileDigestBytes = 16;

enum class SocketFileType : uint32_t {
    ReqFolderPath = 1,
    ResFolderPath,
    ReqOpen,
    ResOpen,
    ReqClose,
    ResClose,
    ReqDelete,
    ResDelete,
    ReqRename,
    ResRename,
    ReqGetSize,
    ResGetSize,
    ReqRead,
    ResRead,
    ReqWrite,
    ResWrite,
    ReqGetMD5,
    ResGetMD5,
    ReqGetFolderList,
    ResGetFolderList,
    ReqMkdir,
    ResMkdir,
    ReqRmdir,
    ResRmdir,
};

struct ORBO_COMMON_API tagSOCKETFILEHEADER {
    uint32_t version = kSocketFileVersion;
    uint32_t sequence = 0;
    uint32_t type = 0;
    uint64_t context = 0;
};

// Records that carry one int32: the folder kind of type 1 and the results of 6, 8, 10, 16, 22, 24.
struct ORBO_COMMON_API SocketFileInt32Record {
    tagSOCKETFILEHEADER header;
    int32_t value = 0;
};
using tagSOCKETFILEREQFOLDERPATH = SocketFileInt32Record;
using tagSOCKETFILERESCLOSE = SocketFileInt32Record;
using tagSOCKETFILERESDELETE = SocketFileInt32Record;
using tagSOCKETFILERESRENAME = SocketFileInt32Record;
using tagSOCKETFILERESWRITE = SocketFileInt32Record;
using tagSOCKETFILERESMKDIR = SocketFileInt32Record;
using tagSOCKETFILERESRMDIR = SocketFileInt32Record;

// Records that carry one uint64: handles (4, 5, 11) and the size of 12.
struct ORBO_COMMON_API SocketFileUint64Record {
    tagSOCKETFILEHEADER header;
    uint64_t value = 0;
};
using tagSOCKETFILERESOPEN = SocketFileUint64Record;
using tagSOCKETFILEREQCLOSE = SocketFileUint64Record;
using tagSOCKETFILEREQGETSIZE = SocketFileUint64Record;
using tagSOCKETFILERESGETSIZE = SocketFileUint64Record;

// Records that carry one path: 2, 7, 17, 19, 21, 23.
struct ORBO_COMMON_API SocketFilePathRecord {
    tagSOCKETFILEHEADER header;
    WCHAR path[kSocketFilePathUnits] = {};
};
using tagSOCKETFILERESFOLDERPATH = SocketFilePathRecord;
using tagSOCKETFILEREQDELETE = SocketFilePathRecord;
using tagSOCKETFILEREQGETMD5 = SocketFilePathRecord;
using tagSOCKETFILEREQGETFOLDERLIST = SocketFilePathRecord;
using tagSOCKETFILEREQMKDIR = SocketFilePathRecord;
using tagSOCKETFILEREQRMDIR = SocketFilePathRecord;

struct ORBO_COMMON_API tagSOCKETFILEREQOPEN {
    tagSOCKETFILEHEADER header;
    WCHAR path[kSocketFilePathUnits] = {};
    WCHAR mode[kSocketFileModeUnits] = {};
};

struct ORBO_COMMON_API tagSOCKETFILEREQRENAME {
    tagSOCKETFILEHEADER header;
    WCHAR oldPath[kSocketFilePathUnits] = {};
    WCHAR newPath[kSocketFilePathUnits] = {};
};

struct ORBO_COMMON_API tagSOCKETFILEREQREAD {
    tagSOCKETFILEHEADER header;
    uint64_t handle = 0;
    uint64_t offset = 0;
    uint32_t count = 0;
};

// The bytes of a decoded read response or write request point into the decoded message.
struct ORBO_COMMON_API tagSOCKETFILERESREAD {
    tagSOCKETFILEHEADER header;
    uint32_t count = 0;
    const uint8_t* data = nullptr;
};

struct ORBO_COMMON_API tagSOCKETFILEREQWRITE {
    tagSOCKETFILEHEADER header;
    uint64_t handle = 0;
    uint64_t offset = 0;
    uint32_t count = 0;
    const uint8_t* data = nullptr;
};

struct ORBO_COMMON_API tagSOCKETFILERESGETMD5 {
    tagSOCKETFILEHEADER header;
    uint8_t digest[kSocketFileDigestBytes] = {};
};

struct ORBO_COMMON_API tagSOCKETFILERESGETFOLDERLIST {
    tagSOCKETFILEHEADER header;
    uint32_t folderBytes = 0;
    uint32_t fileBytes = 0;
    const uint8_t* folderNames = nullptr;
    const uint8_t* fileNames = nullptr;
};

// What decoding found wrong, for the receiver's log line.
enum class SocketFileCheck { Ok, TooShort, BadVersion, UnknownType, WrongRecord, BadSize };
ORBO_COMMON_API const char* SocketFileCheckText(SocketFileCheck check);

// The header of a message; TooShort below 20 bytes, BadVersion for another version, UnknownType
// for a type outside 1..24 (the header is filled in all but the first case).
ORBO_COMMON_API SocketFileCheck ReadSocketFileHeader(const uint8_t* data, size_t size,
                                                     tagSOCKETFILEHEADER* out);

// The size a message of the type must have (the fixed part for 14, 15 and 20); 0 for an unknown
// type.
ORBO_COMMON_API size_t SocketFileRecordSize(uint32_t type);

// Decoding: the header must pass ReadSocketFileHeader, the type must be one carried by the
// record (WrongRecord otherwise) and the size must be exact (BadSize). Nothing is written to out
// unless the result is Ok.
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       SocketFileInt32Record* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       SocketFileUint64Record* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       SocketFilePathRecord* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILEREQOPEN* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILEREQRENAME* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILEREQREAD* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILERESREAD* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILEREQWRITE* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILERESGETMD5* out);
ORBO_COMMON_API SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                                       tagSOCKETFILERESGETFOLDERLIST* out);

// Encoding replaces *out with the message's bytes, taking the type from record.header.type.
// Paths and modes are cut to 259 and 15 units (callers refuse longer ones first, see
// FitsSocketFilePath); byte counts are taken from the record, and the record's data must hold
// them.
ORBO_COMMON_API void EncodeSocketFileRecord(const SocketFileInt32Record& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const SocketFileUint64Record& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const SocketFilePathRecord& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILEREQOPEN& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILEREQRENAME& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILEREQREAD& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILERESREAD& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILEREQWRITE& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILERESGETMD5& record,
                                            std::vector<uint8_t>* out);
ORBO_COMMON_API void EncodeSocketFileRecord(const tagSOCKETFILERESGETFOLDERLIST& record,
                                            std::vector<uint8_t>* out);

// Copies a text into a fixed field of `units` units: at most units - 1 of them, then zeros.
ORBO_COMMON_API void StoreSocketFileText(WCHAR* field, int units, const WCHAR* text);
// True when the text (null counts as empty) fits a path field without being cut.
ORBO_COMMON_API bool FitsSocketFilePath(const WCHAR* text);

// The non-empty names of a ';'-joined UTF-16 list of `bytes` bytes (little-endian units).
ORBO_COMMON_API std::vector<std::u16string> SplitSocketFileNames(const uint8_t* data,
                                                                 uint32_t bytes);
// Appends the names of a listing (zero-terminated UTF-16 entries) joined by ';' as little-endian
// bytes.
ORBO_COMMON_API void JoinSocketFileNames(CPtrCtrl* names, std::vector<uint8_t>* out);
// True for a name that may be joined to a local folder: not empty, not "." or "..", and without
// '/', '\\', ';' or a zero unit, so it always names an entry directly inside that folder.
ORBO_COMMON_API bool IsPlainSocketFileName(const std::u16string& name);
