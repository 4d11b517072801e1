// ctest-labels: net
// The file service's records: the exact size of every type, golden bytes of the field layout,
// and decoding that refuses whatever does not fit the type.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "core/size_limits.h"
#include "core/ptr_array_ctrl.h"
#include "core/size_limits.h"
#include "net/socket_file_records.h"

namespace {

using Type = SocketFileType;

tagSOCKETFILEHEADER Header(Type type) {
    tagSOCKETFILEHEADER header;
    header.sequence = 0x01020304;
    header.type = static_cast<uint32_t>(type);
    header.context = 0x1112131415161718ull;
    return header;
}

template <class Record>
std::vector<uint8_t> Encode(Type type, Record record = {}) {
    record.header = Header(type);
    std::vector<uint8_t> bytes;
    EncodeSocketFileRecord(record, &bytes);
    return bytes;
}

TEST(SocketFileRecords, EveryTypeHasTheSizeOfItsTable) {
    const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    tagSOCKETFILERESREAD read;
    read.count = 6;
    read.data = data;
    tagSOCKETFILEREQWRITE write;
    write.count = 6;
    write.data = data;
    tagSOCKETFILERESGETFOLDERLIST list;
    list.folderBytes = 2;
    list.fileBytes = 4;
    list.folderNames = data;
    list.fileNames = data + 2;
    const struct {
        Type type;
        std::vector<uint8_t> bytes;
        size_t size;
    } cases[] = {
        {Type::ReqFolderPath, Encode<SocketFileInt32Record>(Type::ReqFolderPath), 24},
        {Type::ResFolderPath, Encode<SocketFilePathRecord>(Type::ResFolderPath), 540},
        {Type::ReqOpen, Encode<tagSOCKETFILEREQOPEN>(Type::ReqOpen), 572},
        {Type::ResOpen, Encode<SocketFileUint64Record>(Type::ResOpen), 28},
        {Type::ReqClose, Encode<SocketFileUint64Record>(Type::ReqClose), 28},
        {Type::ResClose, Encode<SocketFileInt32Record>(Type::ResClose), 24},
        {Type::ReqDelete, Encode<SocketFilePathRecord>(Type::ReqDelete), 540},
        {Type::ResDelete, Encode<SocketFileInt32Record>(Type::ResDelete), 24},
        {Type::ReqRename, Encode<tagSOCKETFILEREQRENAME>(Type::ReqRename), 1060},
        {Type::ResRename, Encode<SocketFileInt32Record>(Type::ResRename), 24},
        {Type::ReqGetSize, Encode<SocketFileUint64Record>(Type::ReqGetSize), 28},
        {Type::ResGetSize, Encode<SocketFileUint64Record>(Type::ResGetSize), 28},
        {Type::ReqRead, Encode<tagSOCKETFILEREQREAD>(Type::ReqRead), 40},
        {Type::ResRead, Encode(Type::ResRead, read), 24 + 6},
        {Type::ReqWrite, Encode(Type::ReqWrite, write), 40 + 6},
        {Type::ResWrite, Encode<SocketFileInt32Record>(Type::ResWrite), 24},
        {Type::ReqGetMD5, Encode<SocketFilePathRecord>(Type::ReqGetMD5), 540},
        {Type::ResGetMD5, Encode<tagSOCKETFILERESGETMD5>(Type::ResGetMD5), 36},
        {Type::ReqGetFolderList, Encode<SocketFilePathRecord>(Type::ReqGetFolderList), 540},
        {Type::ResGetFolderList, Encode(Type::ResGetFolderList, list), 28 + 6},
        {Type::ReqMkdir, Encode<SocketFilePathRecord>(Type::ReqMkdir), 540},
        {Type::ResMkdir, Encode<SocketFileInt32Record>(Type::ResMkdir), 24},
        {Type::ReqRmdir, Encode<SocketFilePathRecord>(Type::ReqRmdir), 540},
        {Type::ResRmdir, Encode<SocketFileInt32Record>(Type::ResRmdir), 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        EXPECT_EQ(c.bytes.size(), c.size);
        EXPECT_EQ(ReadLe32(&c.bytes[0]), kSocketFileVersion);
        EXPECT_EQ(ReadLe32(&c.bytes[4]), 0x01020304u);
        EXPECT_EQ(ReadLe32(&c.bytes[8]), static_cast<uint32_t>(c.type));
        EXPECT_EQ(ReadLe32(&c.bytes[12]), 0x15161718u);
        EXPECT_EQ(ReadLe32(&c.bytes[16]), 0x11121314u);
    }
}

TEST(SocketFileRecords, OpenRequestHoldsPathThenModeAsUtf16) {
    tagSOCKETFILEREQOPEN open;
    StoreSocketFileText(open.path, kSocketFilePathUnits, u"a/\u6570");
    StoreSocketFileText(open.mode, kSocketFileModeUnits, u"rb");
    const std::vector<uint8_t> bytes = Encode(Type::ReqOpen, open);
    const uint8_t path[] = {'a', 0, '/', 0, 0x70, 0x65, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes.data() + 20, path, sizeof(path)));
    const uint8_t mode[] = {'r', 0, 'b', 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes.data() + 540, mode, sizeof(mode)));

    tagSOCKETFILEREQOPEN back;
    ASSERT_EQ(DecodeSocketFileRecord(bytes.data(), bytes.size(), &back), SocketFileCheck::Ok);
    EXPECT_EQ(std::u16string(back.path), u"a/\u6570");
    EXPECT_EQ(std::u16string(back.mode), u"rb");
    EXPECT_EQ(back.header.context, 0x1112131415161718ull);
}

TEST(SocketFileRecords, ReadAndWriteFieldsSitAtTheirOffsets) {
    tagSOCKETFILEREQREAD read;
    read.handle = 0x0A0B0C0D0E0F1011ull;
    read.offset = 0x2122232425262728ull;
    read.count = 0x31323334;
    const std::vector<uint8_t> bytes = Encode(Type::ReqRead, read);
    EXPECT_EQ(ReadLe32(&bytes[20]), 0x0E0F1011u);
    EXPECT_EQ(ReadLe32(&bytes[24]), 0x0A0B0C0Du);
    EXPECT_EQ(ReadLe32(&bytes[28]), 0x25262728u);
    EXPECT_EQ(ReadLe32(&bytes[32]), 0x21222324u);
    EXPECT_EQ(ReadLe32(&bytes[36]), 0x31323334u);

    const uint8_t data[3] = {7, 8, 9};
    tagSOCKETFILEREQWRITE write;
    write.handle = 5;
    write.offset = 6;
    write.count = 3;
    write.data = data;
    const std::vector<uint8_t> w = Encode(Type::ReqWrite, write);
    EXPECT_EQ(ReadLe32(&w[36]), 3u);
    EXPECT_EQ(w[40], 7);
    EXPECT_EQ(w[42], 9);
    tagSOCKETFILEREQWRITE back;
    ASSERT_EQ(DecodeSocketFileRecord(w.data(), w.size(), &back), SocketFileCheck::Ok);
    EXPECT_EQ(back.handle, 5u);
    EXPECT_EQ(back.offset, 6u);
    EXPECT_EQ(back.count, 3u);
    EXPECT_EQ(back.data, w.data() + 40);
}

TEST(SocketFileRecords, FolderListCarriesBothCountsThenTheNames) {
    CPtrArrayCtrl folders, files;
    const char16_t* folderNames[] = {u"a", u"bc"};
    for (const char16_t* name : folderNames) folders.AddData(const_cast<char16_t*>(name));
    files.AddData(const_cast<char16_t*>(u"x.txt"));
    std::vector<uint8_t> folderBytes, fileBytes;
    JoinSocketFileNames(&folders, &folderBytes);
    JoinSocketFileNames(&files, &fileBytes);
    EXPECT_EQ(folderBytes, (std::vector<uint8_t>{'a', 0, ';', 0, 'b', 0, 'c', 0}));
    tagSOCKETFILERESGETFOLDERLIST list;
    list.folderBytes = static_cast<uint32_t>(folderBytes.size());
    list.fileBytes = static_cast<uint32_t>(fileBytes.size());
    list.folderNames = folderBytes.data();
    list.fileNames = fileBytes.data();
    const std::vector<uint8_t> bytes = Encode(Type::ResGetFolderList, list);
    EXPECT_EQ(ReadLe32(&bytes[20]), 8u);
    EXPECT_EQ(ReadLe32(&bytes[24]), 10u);
    EXPECT_EQ(bytes[28], 'a');
    EXPECT_EQ(bytes[36], 'x');
    tagSOCKETFILERESGETFOLDERLIST back;
    ASSERT_EQ(DecodeSocketFileRecord(bytes.data(), bytes.size(), &back), SocketFileCheck::Ok);
    EXPECT_EQ(SplitSocketFileNames(back.folderNames, back.folderBytes),
              (std::vector<std::u16string>{u"a", u"bc"}));
    EXPECT_EQ(SplitSocketFileNames(back.fileNames, back.fileBytes),
              (std::vector<std::u16string>{u"x.txt"}));
}

TEST(SocketFileRecords, DecodingRefusesWhatDoesNotFitTheType) {
    std::vector<uint8_t> path = Encode<SocketFilePathRecord>(Type::ReqDelete);
    SocketFilePathRecord pathRecord;
    SocketFileInt32Record intRecord;
    tagSOCKETFILERESREAD read;
    tagSOCKETFILERESGETFOLDERLIST list;

    std::vector<uint8_t> shorter(path.begin(), path.end() - 1);
    EXPECT_EQ(DecodeSocketFileRecord(shorter.data(), shorter.size(), &pathRecord),
              SocketFileCheck::BadSize);
    std::vector<uint8_t> longer = path;
    longer.push_back(0);
    EXPECT_EQ(DecodeSocketFileRecord(longer.data(), longer.size(), &pathRecord),
              SocketFileCheck::BadSize);
    EXPECT_EQ(DecodeSocketFileRecord(path.data(), path.size(), &intRecord),
              SocketFileCheck::WrongRecord);
    EXPECT_EQ(DecodeSocketFileRecord(path.data(), 19, &pathRecord), SocketFileCheck::TooShort);
    std::vector<uint8_t> version = path;
    version[3] = 0x20;
    EXPECT_EQ(DecodeSocketFileRecord(version.data(), version.size(), &pathRecord),
              SocketFileCheck::BadVersion);
    std::vector<uint8_t> unknown = path;
    unknown[8] = 25;
    EXPECT_EQ(DecodeSocketFileRecord(unknown.data(), unknown.size(), &pathRecord),
              SocketFileCheck::UnknownType);

    // Counts: beyond the limit, beyond the bytes that follow, odd for UTF-16.
    std::vector<uint8_t> res = Encode<tagSOCKETFILERESREAD>(Type::ResRead);
    const uint32_t tooMany = kMaxSocketFileIoBytes + 1;
    std::memcpy(res.data() + 20, &tooMany, 4);
    res.resize(24 + tooMany);
    EXPECT_EQ(DecodeSocketFileRecord(res.data(), res.size(), &read), SocketFileCheck::BadSize);
    std::vector<uint8_t> claims = Encode<tagSOCKETFILERESREAD>(Type::ResRead);
    claims[20] = 4;
    EXPECT_EQ(DecodeSocketFileRecord(claims.data(), claims.size(), &read),
              SocketFileCheck::BadSize);
    std::vector<uint8_t> odd = Encode<tagSOCKETFILERESGETFOLDERLIST>(Type::ResGetFolderList);
    odd[20] = 1;
    odd.push_back('a');
    EXPECT_EQ(DecodeSocketFileRecord(odd.data(), odd.size(), &list), SocketFileCheck::BadSize);
    std::vector<uint8_t> huge = Encode<tagSOCKETFILERESGETFOLDERLIST>(Type::ResGetFolderList);
    std::memset(huge.data() + 20, 0xFE, 8);  // a + b wraps 32 bits
    EXPECT_EQ(DecodeSocketFileRecord(huge.data(), huge.size(), &list), SocketFileCheck::BadSize);
}

TEST(SocketFileRecords, DecodedPathsAlwaysEndWithATerminator) {
    std::vector<uint8_t> bytes = Encode<SocketFilePathRecord>(Type::ReqMkdir);
    for (size_t i = 20; i < bytes.size(); i += 2) bytes[i] = 'x';
    SocketFilePathRecord record;
    ASSERT_EQ(DecodeSocketFileRecord(bytes.data(), bytes.size(), &record), SocketFileCheck::Ok);
    EXPECT_EQ(record.path[kSocketFilePathUnits - 1], 0);
    EXPECT_EQ(std::u16string(record.path).size(), static_cast<size_t>(kSocketFilePathUnits - 1));
    EXPECT_FALSE(FitsSocketFilePath(std::u16string(260, u'x').c_str()));
    EXPECT_TRUE(FitsSocketFilePath(std::u16string(259, u'x').c_str()));
}

TEST(SocketFileRecords, OnlyPlainNamesMayBeJoinedToAFolder) {
    const struct {
        std::u16string name;
        bool plain;
    } cases[] = {{u"file.txt", true}, {u"..file", true},
                 {u"数据", true},     {u"", false},
                 {u".", false},       {u"..", false},
                 {u"a/b", false},     {u"a\\b", false},
                 {u"a;b", false},     {std::u16string(u"a\0b", 3), false}};
    for (const auto& c : cases) EXPECT_EQ(IsPlainSocketFileName(c.name), c.plain);
    const uint8_t list[] = {';', 0, 'a', 0, ';', 0, ';', 0, 'b', 0, 'c'};
    EXPECT_EQ(SplitSocketFileNames(list, sizeof(list)), (std::vector<std::u16string>{u"a", u"b"}));
}

}  // namespace
