// Reading and writing a whole file in one call, for preparing and checking test files.
#pragma once

#include <cstdint>
#include <filesystem>
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
