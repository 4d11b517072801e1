#include "socket_file_records.h"

#include <cstring>
#include <initializer_list>

#include "core/byte_order.h"
#include "core/ptr_ctrl.h"
#include "core/size_limits.h"

namespace {

using Type = SocketFileType;

constexpr size_t kPathBytes = kSocketFilePathUnits * 2;
constexpr size_t kModeBytes = kSocketFileModeUnits * 2;
constexpr uint32_t kLastType = static_cast<uint32_t>(Type::ResRmdir);

constexpr size_t kRecordSizes[kLastType + 1] = {
    0,
    24,                            // 1 folder kind
    20 + kPathBytes,               // 2 path
    20 + kPathBytes + kModeBytes,  // 3 path, mode
    28,                            // 4 handle
    28,                            // 5 handle
    24,                            // 6 result
    20 + kPathBytes,               // 7 path
    24,                            // 8 result
    20 + 2 * kPathBytes,           // 9 old and new path
    24,                            // 10 result
    28,                            // 11 handle
    28,                            // 12 size
    40,                            // 13 handle, offset, count
    24,                            // 14 count (+ bytes)
    40,                            // 15 handle, offset, count (+ bytes)
    24,                            // 16 bytes written
    20 + kPathBytes,               // 17 path
    20 + kSocketFileDigestBytes,   // 18 digest
    20 + kPathBytes,               // 19 path
    28,                            // 20 two counts (+ names)
    20 + kPathBytes,               // 21 path
    24,                            // 22 result
    20 + kPathBytes,               // 23 path
    24,                            // 24 result
};

bool IsOneOf(uint32_t type, std::initializer_list<Type> types) {
    for (Type t : types) {
        if (static_cast<uint32_t>(t) == type) return true;
    }
    return false;
}

// The header and the record's type and fixed size; `exact` false allows trailing bytes, whose
// count the caller checks.
SocketFileCheck CheckRecord(const uint8_t* data, size_t size, tagSOCKETFILEHEADER* header,
                            std::initializer_list<Type> types, bool exact) {
    const SocketFileCheck check = ReadSocketFileHeader(data, size, header);
    if (check != SocketFileCheck::Ok) return check;
    if (!IsOneOf(header->type, types)) return SocketFileCheck::WrongRecord;
    const size_t expected = kRecordSizes[header->type];
    if (exact ? size != expected : size < expected) return SocketFileCheck::BadSize;
    return SocketFileCheck::Ok;
}

void ReadText(const uint8_t* in, WCHAR* field, int units) {
    for (int i = 0; i < units; ++i) field[i] = static_cast<WCHAR>(ReadLe16(in + 2 * i));
    field[units - 1] = 0;
}

class Writer {
public:
    Writer(std::vector<uint8_t>* out, const tagSOCKETFILEHEADER& header, size_t size) : m_out(out) {
        m_out->assign(size, 0);
        WriteLe32(At(4), header.version);
        WriteLe32(At(4), header.sequence);
        WriteLe32(At(4), header.type);
        WriteLe64(At(8), header.context);
    }
    uint8_t* At(size_t bytes) {
        uint8_t* p = m_out->data() + m_position;
        m_position += bytes;
        return p;
    }
    void Text(const WCHAR* text, int units) {
        uint8_t* p = At(static_cast<size_t>(units) * 2);
        for (int i = 0; i < units - 1 && text != nullptr && text[i] != 0; ++i) {
            WriteLe16(p + 2 * i, text[i]);
        }
    }
    void Bytes(const uint8_t* data, size_t count) {
        if (count > 0 && data != nullptr) std::memcpy(At(count), data, count);
    }

private:
    std::vector<uint8_t>* m_out;
    size_t m_position = 0;
};

}  // namespace

const char* SocketFileCheckText(SocketFileCheck check) {
    switch (check) {
        case SocketFileCheck::Ok:
            return "ok";
        case SocketFileCheck::TooShort:
            return "shorter than a message header";
        case SocketFileCheck::BadVersion:
            return "another protocol version";
        case SocketFileCheck::UnknownType:
            return "unknown message type";
        case SocketFileCheck::WrongRecord:
            return "unexpected message type";
        case SocketFileCheck::BadSize:
            return "size does not match its type";
    }
    return "?";
}

SocketFileCheck ReadSocketFileHeader(const uint8_t* data, size_t size, tagSOCKETFILEHEADER* out) {
    if (data == nullptr || size < kSocketFileHeaderBytes) return SocketFileCheck::TooShort;
    tagSOCKETFILEHEADER header;
    header.version = ReadLe32(data);
    header.sequence = ReadLe32(data + 4);
    header.type = ReadLe32(data + 8);
    header.context = ReadLe64(data + 12);
    if (out != nullptr) *out = header;
    if (header.version != kSocketFileVersion) return SocketFileCheck::BadVersion;
    if (header.type < 1 || header.type > kLastType) return SocketFileCheck::UnknownType;
    return SocketFileCheck::Ok;
}

size_t SocketFileRecordSize(uint32_t type) {
    return type >= 1 && type <= kLastType ? kRecordSizes[type] : 0;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       SocketFileInt32Record* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check =
        CheckRecord(data, size, &header,
                    {Type::ReqFolderPath, Type::ResClose, Type::ResDelete, Type::ResRename,
                     Type::ResWrite, Type::ResMkdir, Type::ResRmdir},
                    true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    out->value = static_cast<int32_t>(ReadLe32(data + 20));
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       SocketFileUint64Record* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check =
        CheckRecord(data, size, &header,
                    {Type::ResOpen, Type::ReqClose, Type::ReqGetSize, Type::ResGetSize}, true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    out->value = ReadLe64(data + 20);
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       SocketFilePathRecord* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check =
        CheckRecord(data, size, &header,
                    {Type::ResFolderPath, Type::ReqDelete, Type::ReqGetMD5, Type::ReqGetFolderList,
                     Type::ReqMkdir, Type::ReqRmdir},
                    true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    ReadText(data + 20, out->path, kSocketFilePathUnits);
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILEREQOPEN* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ReqOpen}, true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    ReadText(data + 20, out->path, kSocketFilePathUnits);
    ReadText(data + 20 + kPathBytes, out->mode, kSocketFileModeUnits);
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILEREQRENAME* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ReqRename}, true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    ReadText(data + 20, out->oldPath, kSocketFilePathUnits);
    ReadText(data + 20 + kPathBytes, out->newPath, kSocketFilePathUnits);
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILEREQREAD* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ReqRead}, true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    out->handle = ReadLe64(data + 20);
    out->offset = ReadLe64(data + 28);
    out->count = ReadLe32(data + 36);
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILERESREAD* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ResRead}, false);
    if (check != SocketFileCheck::Ok) return check;
    const uint32_t count = ReadLe32(data + 20);
    if (count > kMaxSocketFileIoBytes || size != kRecordSizes[header.type] + count) {
        return SocketFileCheck::BadSize;
    }
    out->header = header;
    out->count = count;
    out->data = data + 24;
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILEREQWRITE* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ReqWrite}, false);
    if (check != SocketFileCheck::Ok) return check;
    const uint32_t count = ReadLe32(data + 36);
    if (count > kMaxSocketFileIoBytes || size != kRecordSizes[header.type] + count) {
        return SocketFileCheck::BadSize;
    }
    out->header = header;
    out->handle = ReadLe64(data + 20);
    out->offset = ReadLe64(data + 28);
    out->count = count;
    out->data = data + 40;
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILERESGETMD5* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ResGetMD5}, true);
    if (check != SocketFileCheck::Ok) return check;
    out->header = header;
    std::memcpy(out->digest, data + 20, kSocketFileDigestBytes);
    return check;
}

SocketFileCheck DecodeSocketFileRecord(const uint8_t* data, size_t size,
                                       tagSOCKETFILERESGETFOLDERLIST* out) {
    tagSOCKETFILEHEADER header;
    const SocketFileCheck check = CheckRecord(data, size, &header, {Type::ResGetFolderList}, false);
    if (check != SocketFileCheck::Ok) return check;
    const uint32_t folderBytes = ReadLe32(data + 20);
    const uint32_t fileBytes = ReadLe32(data + 24);
    if (folderBytes % 2 != 0 || fileBytes % 2 != 0 ||
        static_cast<uint64_t>(size) !=
            kRecordSizes[header.type] + static_cast<uint64_t>(folderBytes) + fileBytes) {
        return SocketFileCheck::BadSize;
    }
    out->header = header;
    out->folderBytes = folderBytes;
    out->fileBytes = fileBytes;
    out->folderNames = data + 28;
    out->fileNames = data + 28 + folderBytes;
    return check;
}

void EncodeSocketFileRecord(const SocketFileInt32Record& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 24);
    WriteLe32(writer.At(4), static_cast<uint32_t>(record.value));
}

void EncodeSocketFileRecord(const SocketFileUint64Record& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 28);
    WriteLe64(writer.At(8), record.value);
}

void EncodeSocketFileRecord(const SocketFilePathRecord& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 20 + kPathBytes);
    writer.Text(record.path, kSocketFilePathUnits);
}

void EncodeSocketFileRecord(const tagSOCKETFILEREQOPEN& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 20 + kPathBytes + kModeBytes);
    writer.Text(record.path, kSocketFilePathUnits);
    writer.Text(record.mode, kSocketFileModeUnits);
}

void EncodeSocketFileRecord(const tagSOCKETFILEREQRENAME& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 20 + 2 * kPathBytes);
    writer.Text(record.oldPath, kSocketFilePathUnits);
    writer.Text(record.newPath, kSocketFilePathUnits);
}

void EncodeSocketFileRecord(const tagSOCKETFILEREQREAD& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 40);
    WriteLe64(writer.At(8), record.handle);
    WriteLe64(writer.At(8), record.offset);
    WriteLe32(writer.At(4), record.count);
}

void EncodeSocketFileRecord(const tagSOCKETFILERESREAD& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 24 + static_cast<size_t>(record.count));
    WriteLe32(writer.At(4), record.count);
    writer.Bytes(record.data, record.count);
}

void EncodeSocketFileRecord(const tagSOCKETFILEREQWRITE& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 40 + static_cast<size_t>(record.count));
    WriteLe64(writer.At(8), record.handle);
    WriteLe64(writer.At(8), record.offset);
    WriteLe32(writer.At(4), record.count);
    writer.Bytes(record.data, record.count);
}

void EncodeSocketFileRecord(const tagSOCKETFILERESGETMD5& record, std::vector<uint8_t>* out) {
    Writer writer(out, record.header, 20 + kSocketFileDigestBytes);
    writer.Bytes(record.digest, kSocketFileDigestBytes);
}

void EncodeSocketFileRecord(const tagSOCKETFILERESGETFOLDERLIST& record,
                            std::vector<uint8_t>* out) {
    Writer writer(out, record.header,
                  28 + static_cast<size_t>(record.folderBytes) + record.fileBytes);
    WriteLe32(writer.At(4), record.folderBytes);
    WriteLe32(writer.At(4), record.fileBytes);
    writer.Bytes(record.folderNames, record.folderBytes);
    writer.Bytes(record.fileNames, record.fileBytes);
}

void StoreSocketFileText(WCHAR* field, int units, const WCHAR* text) {
    int i = 0;
    for (; text != nullptr && i < units - 1 && text[i] != 0; ++i) field[i] = text[i];
    for (; i < units; ++i) field[i] = 0;
}

bool FitsSocketFilePath(const WCHAR* text) {
    int length = 0;
    while (text != nullptr && text[length] != 0) {
        if (++length >= kSocketFilePathUnits) return false;
    }
    return true;
}

std::vector<std::u16string> SplitSocketFileNames(const uint8_t* data, uint32_t bytes) {
    std::vector<std::u16string> names;
    std::u16string current;
    for (uint32_t i = 0; data != nullptr && i + 1 < bytes; i += 2) {
        const WCHAR unit = static_cast<WCHAR>(ReadLe16(data + i));
        if (unit == u';') {
            if (!current.empty()) names.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(unit);
        }
    }
    if (!current.empty()) names.push_back(std::move(current));
    return names;
}

void JoinSocketFileNames(CPtrCtrl* names, std::vector<uint8_t>* out) {
    const int count = names != nullptr ? names->GetCount() : 0;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        const auto* name = static_cast<const WCHAR*>(names->GetAt(i));
        if (name == nullptr) continue;
        if (!first) {
            out->push_back(static_cast<uint8_t>(u';'));
            out->push_back(0);
        }
        first = false;
        for (const WCHAR* p = name; *p != 0; ++p) {
            AppendLe16(*out, static_cast<uint16_t>(*p));
        }
    }
}

bool IsPlainSocketFileName(const std::u16string& name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    for (char16_t unit : name) {
        if (unit == u'/' || unit == u'\\' || unit == u';' || unit == 0) return false;
    }
    return true;
}
