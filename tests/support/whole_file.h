// Reading and writing a whole file in one call, for preparing and checking test files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
std::vector<uint8_t> ReadWholeFileBytes(const std::filesystem::path& path);

// Replaces the file's content with the bytes, creating missing parent folders. False when the
// file could not be created or a byte could not be written.
bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);
bool WriteWholeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// Every entry below a folder with its bytes, by path relative to it (folders as "<name>/" with
// no bytes); empty when the folder does not exist.
std::map<std::string, std::string> ReadFolderTree(const std::filesystem::path& folder);
