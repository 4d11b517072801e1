#include "unzipper.h"

#include <sys/stat.h>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

#include "archive/archive_paths_internal.h"
#include "archive/create_folder.h"
#include "archive/extract_folder_internal.h"
#include "archive/zip_entry_name_internal.h"
#include "core/dbg_output.h"
#include "core/path_name.h"
#include "core/path_text.h"
#include "core/text_chars_internal.h"

namespace {

constexpr uint32_t kDirectoryAttribute = 0x10;
// Archives made on Unix keep the file mode in the high 16 bits of the external attributes.
constexpr int kUnixModeShift = 16;

bool EqualFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!orbo_text::SameChar(a[i], b[i], true)) return false;
    }
    return true;
}

std::string LastComponent(const std::string& normalizedName) {
    const size_t cut = normalizedName.find_last_of('/');
    return cut == std::string::npos ? normalizedName : normalizedName.substr(cut + 1);
}

bool IsFolderEntry(const ZipEntryInfo& info) {
    const uint32_t mode = info.externalAttributes >> kUnixModeShift;
    return (info.externalAttributes & kDirectoryAttribute) != 0 || S_ISDIR(mode) ||
           HasTrailingSeparator(info.name);
}

// The entry's DOS date and time taken as local time; false when the fields are not a date.
bool DosDateToTime(uint32_t dosDate, timespec& out) {
    const uint32_t date = dosDate >> 16;
    const uint32_t time = dosDate & 0xFFFF;
    std::tm fields{};
    fields.tm_year = static_cast<int>((date >> 9) + 1980 - 1900);
    fields.tm_mon = static_cast<int>((date >> 5) & 0xF) - 1;
    fields.tm_mday = static_cast<int>(date & 0x1F);
    fields.tm_hour = static_cast<int>(time >> 11);
    fields.tm_min = static_cast<int>((time >> 5) & 0x3F);
    fields.tm_sec = static_cast<int>((time & 0x1F) * 2);
    fields.tm_isdst = -1;
    if (fields.tm_mon < 0 || fields.tm_mon > 11 || fields.tm_mday < 1 || fields.tm_hour > 23 ||
        fields.tm_min > 59 || fields.tm_sec > 59) {
        return false;
    }
    const time_t seconds = mktime(&fields);
    if (seconds == static_cast<time_t>(-1)) return false;
    out = timespec{seconds, 0};
    return true;
}

// What an entry becomes below the target folder.
struct EntryPlan {
    ZipEntryInfo info;
    bool folder = false;
    bool skip = false;  // a folder entry when only file names are used
    std::vector<std::string> parts;
};

// Everything about the current entry that can be checked before a byte is written.
bool PlanEntry(ZipReader& reader, bool ignorePath, EntryPlan& plan) {
    plan = EntryPlan{};
    if (!reader.Info(plan.info)) return false;
    plan.folder = IsFolderEntry(plan.info);
    if (plan.folder && ignorePath) {
        plan.skip = true;
        return true;
    }
    if (!EntryPathParts(plan.info.name, ignorePath && !plan.folder, plan.parts)) {
        DbgOutputA(kDbgLevelWarning,
                   "Unzip: %s: entry %s is refused: its name leads outside the folder\r\n",
                   reader.Label().c_str(), plan.info.name.c_str());
        return false;
    }
    if (!plan.folder) {
        const std::string why = ZipReader::Unreadable(plan.info);
        if (!why.empty()) {
            DbgOutputA(kDbgLevelWarning, "Unzip: %s: entry %s is refused: %s\r\n",
                       reader.Label().c_str(), plan.info.name.c_str(), why.c_str());
            return false;
        }
    }
    return true;
}

bool RoomFor(const ExtractFolder& target, uint64_t bytes, const ZipReader& reader) {
    const uint64_t free = target.FreeBytes();
    if (bytes <= free) return true;
    DbgOutputA(kDbgLevelWarning,
               "Unzip: %s needs %llu bytes but the folder %s has room for %llu only\r\n",
               reader.Label().c_str(), static_cast<unsigned long long>(bytes),
               target.Label().c_str(), static_cast<unsigned long long>(free));
    return false;
}

// Extracts the current entry as planned: a folder is created, a file is staged in the target.
bool ExtractEntry(ZipReader& reader, ExtractFolder& target, const EntryPlan& plan) {
    if (plan.skip) return true;
    if (plan.folder) return target.AddFolder(plan.parts);
    if (!target.BeginFile(plan.parts)) return false;
    const bool read = reader.Read(
        [&target](const uint8_t* data, size_t size) { return target.Write(data, size); });
    if (!read) {
        target.AbandonFile();
        return false;
    }
    timespec modified{};
    return target.EndFile(DosDateToTime(plan.info.dosDate, modified) ? &modified : nullptr);
}

void CopyText(char* out, size_t outSize, const std::string& text) {
    const size_t count = text.size() < outSize - 1 ? text.size() : outSize - 1;
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
}

uint32_t Clamp32(uint64_t value) {
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

}  // namespace

CUnzipper::CUnzipper(const char* archivePath) {
    if (archivePath != nullptr) OpenZip(archivePath);
}

CUnzipper::~CUnzipper() {
    CloseZip();
}

bool CUnzipper::OpenZip(const char* archivePath) {
    CloseZip();
    const std::string absolute = AbsoluteFromWorkingFolder(archivePath, "CUnzipper::OpenZip");
    if (absolute.empty()) return false;
    if (!m_reader.OpenFile(absolute)) return false;
    char folder[kMaxPathChars + 1];
    std::strcpy(folder, absolute.c_str());
    SetFileExtNameA(folder, sizeof(folder), nullptr);
    m_outputFolder = folder;
    return true;
}

bool CUnzipper::CloseZip() {
    m_outputFolder.clear();
    return m_reader.Close();
}

bool CUnzipper::SetOutputFolder(const char* folder) {
    std::string path;
    if (folder == nullptr || folder[0] == '\0' || !ToSystemPath(folder, path, "SetOutputFolder")) {
        return false;
    }
    if (!CreateFolder(path.c_str())) return false;
    m_outputFolder = path;
    return true;
}

int CUnzipper::GetFileCount() const {
    const uint64_t count = m_reader.EntryCount();
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

bool CUnzipper::GetFileInfo(UZ_FileInfo& info) {
    std::memset(&info, 0, sizeof(info));
    ZipEntryInfo entry;
    if (!m_reader.Info(entry)) return false;
    CopyText(info.fileName, sizeof(info.fileName), NormalizedEntryName(entry.name));
    CopyText(info.comment, sizeof(info.comment), entry.comment);
    info.version = entry.version;
    info.versionNeeded = entry.versionNeeded;
    info.flags = entry.flags;
    info.compressionMethod = entry.method;
    info.dosDate = entry.dosDate;
    info.crc = entry.crc;
    info.compressedSize = Clamp32(entry.compressedSize);
    info.uncompressedSize = Clamp32(entry.uncompressedSize);
    info.internalAttributes = entry.internalAttributes;
    info.externalAttributes = entry.externalAttributes;
    info.folder = IsFolderEntry(entry);
    return true;
}

bool CUnzipper::GetFileInfo(int index, UZ_FileInfo& info) {
    return GotoFile(index) && GetFileInfo(info);
}

bool CUnzipper::MatchesExtension(const char* extension) {
    if (extension == nullptr || extension[0] == '\0') return true;
    ZipEntryInfo entry;
    if (!m_reader.Info(entry)) return false;
    char own[kMaxPathChars + 1];
    GetFileExtNameA(NormalizedEntryName(entry.name).c_str(), own, sizeof(own));
    return EqualFolded(own, extension);
}

bool CUnzipper::GotoFirstFile(const char* extension) {
    for (ZipStep step = m_reader.First(); step == ZipStep::kEntry; step = m_reader.Next()) {
        if (MatchesExtension(extension)) return true;
    }
    return false;
}

bool CUnzipper::GotoNextFile(const char* extension) {
    for (ZipStep step = m_reader.Next(); step == ZipStep::kEntry; step = m_reader.Next()) {
        if (MatchesExtension(extension)) return true;
    }
    return false;
}

bool CUnzipper::GotoFile(int index) {
    return index >= 0 && m_reader.Seek(static_cast<uint64_t>(index));
}

bool CUnzipper::GotoFile(const char* name, bool ignorePath) {
    if (name == nullptr || name[0] == '\0' || !m_reader.IsOpen()) return false;
    const int64_t before = m_reader.CurrentIndex();
    const std::string wanted = NormalizedEntryName(name);
    ZipEntryInfo entry;
    for (int pass = 0; pass < (ignorePath ? 2 : 1); ++pass) {
        for (ZipStep step = m_reader.First(); step == ZipStep::kEntry; step = m_reader.Next()) {
            if (!m_reader.Info(entry)) continue;
            const std::string own = NormalizedEntryName(entry.name);
            if (EqualFolded(pass == 0 ? own : LastComponent(own), wanted)) return true;
        }
    }
    if (before >= 0) m_reader.Seek(static_cast<uint64_t>(before));
    return false;
}

std::string CUnzipper::TargetFolder(const char* folder) const {
    std::string path;
    const char* chosen = folder != nullptr ? folder : m_outputFolder.c_str();
    if (chosen[0] == '\0' || !ToSystemPath(chosen, path, "Unzip")) return std::string();
    return path;
}

bool CUnzipper::UnzipFile(const char* folder, bool ignorePath) {
    const std::string path = TargetFolder(folder);
    if (path.empty() || !m_reader.IsOpen() || !CreateFolder(path.c_str())) return false;
    ExtractFolder target;
    EntryPlan plan;
    if (!target.Open(path) || !PlanEntry(m_reader, ignorePath, plan)) return false;
    if (!plan.folder && !RoomFor(target, plan.info.uncompressedSize, m_reader)) return false;
    return ExtractEntry(m_reader, target, plan) && target.Commit();
}

bool CUnzipper::UnzipFile(int index, const char* folder, bool ignorePath) {
    return GotoFile(index) && UnzipFile(folder, ignorePath);
}

bool CUnzipper::Unzip(bool ignorePath) {
    return UnzipTo(nullptr, ignorePath);
}

bool CUnzipper::UnzipTo(const char* folder, bool ignorePath) {
    const std::string path = TargetFolder(folder);
    if (path.empty() || !m_reader.IsOpen() || !CreateFolder(path.c_str())) return false;
    if (m_reader.EntryCount() == 0) {
        DbgOutputA(kDbgLevelWarning, "Unzip: %s has no entries\r\n", m_reader.Label().c_str());
        return false;
    }
    ExtractFolder target;
    if (!target.Open(path)) return false;
    // The whole central directory is checked first, so that a hostile or oversized archive is
    // refused before anything is written.
    EntryPlan plan;
    uint64_t total = 0;
    ZipStep step = m_reader.First();
    for (; step == ZipStep::kEntry; step = m_reader.Next()) {
        if (!PlanEntry(m_reader, ignorePath, plan)) return false;
        if (!plan.folder) {
            const uint64_t size = plan.info.uncompressedSize;
            total = total > UINT64_MAX - size ? UINT64_MAX : total + size;
        }
    }
    if (step == ZipStep::kFailed || !RoomFor(target, total, m_reader)) return false;
    for (step = m_reader.First(); step == ZipStep::kEntry; step = m_reader.Next()) {
        if (!PlanEntry(m_reader, ignorePath, plan) || !ExtractEntry(m_reader, target, plan)) {
            return false;
        }
    }
    return step == ZipStep::kEnd && target.Commit();
}

bool CUnzipper::Unzip(const char* archivePath, const char* folder, bool ignorePath) {
    CUnzipper unzipper;
    if (!unzipper.OpenZip(archivePath)) return false;
    return unzipper.UnzipTo(folder, ignorePath);
}
