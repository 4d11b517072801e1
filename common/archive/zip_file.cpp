#include "zip_file.h"

#include <zlib.h>

#include <string>

#include "core/dbg_output.h"
#include "core/path_text.h"

namespace {

gzFile Handle(void* file) {
    return static_cast<gzFile>(file);
}

std::string ErrorOf(void* file) {
    int code = Z_OK;
    const char* text = gzerror(Handle(file), &code);
    return text == nullptr ? std::string("unknown error") : std::string(text);
}

}  // namespace

CZipFile::~CZipFile() {
    Close();
}

int CZipFile::Open(const char* path, const char* mode) {
    Close();
    std::string systemPath;
    if (path == nullptr || mode == nullptr || path[0] == '\0' ||
        !ToSystemPath(path, systemPath, "CZipFile::Open")) {
        return 0;
    }
    m_file = gzopen(systemPath.c_str(), mode);
    if (m_file == nullptr) {
        DbgOutputA(kDbgLevelWarning, "CZipFile: cannot open %s with mode %s\r\n",
                   systemPath.c_str(), mode);
        return 0;
    }
    m_failed = false;
    return 1;
}

bool CZipFile::Close() {
    if (m_file == nullptr) return false;
    const int result = gzclose(Handle(m_file));
    m_file = nullptr;
    m_failed = false;
    if (result != Z_OK) {
        DbgOutputA(kDbgLevelWarning, "CZipFile: closing failed (error %d)\r\n", result);
        return false;
    }
    return true;
}

int64_t CZipFile::Seek(int64_t offset, int origin) {
    if (m_file == nullptr) return -1;
    return gzseek64(Handle(m_file), offset, origin);
}

bool CZipFile::Eof() const {
    return m_file == nullptr || m_failed || gzeof(Handle(m_file)) != 0;
}

int CZipFile::Read(void* buffer, int count) {
    if (m_file == nullptr || buffer == nullptr || count <= 0 || m_failed) return 0;
    const int result = gzread(Handle(m_file), buffer, static_cast<unsigned>(count));
    if (result < 0) {
        DbgOutputA(kDbgLevelWarning, "CZipFile: reading failed: %s\r\n", ErrorOf(m_file).c_str());
        m_failed = true;
        return 0;
    }
    return result;
}

int CZipFile::Write(const void* buffer, int count) {
    if (m_file == nullptr || buffer == nullptr || count <= 0) return 0;
    const int result = gzwrite(Handle(m_file), buffer, static_cast<unsigned>(count));
    if (result <= 0) {
        DbgOutputA(kDbgLevelWarning, "CZipFile: writing failed: %s\r\n", ErrorOf(m_file).c_str());
        return 0;
    }
    return result;
}
