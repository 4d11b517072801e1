// Paths as the archive classes take them from callers. Internal to the archive component;
// reentrant.
#pragma once

#include <string>

// The path made absolute against the working folder, separators normalised to '/'. An empty text
// (logged) for a null or empty path, or when the result would exceed kMaxPathChars bytes or the
// working folder is unknown.
std::string AbsoluteFromWorkingFolder(const char* path, const char* operation);
