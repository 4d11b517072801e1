// Entry names of zip archives and the relative paths they stand for.
//
// Names are written with '/'; archives made on other systems may use '\\', which is accepted as a
// separator alike. A name may only be extracted when it stays below the folder it is extracted
// into: it must not be absolute and no component may be "..". Empty and "." components (as in
// "a//b" or "./a") are passed over. Internal to the archive component; all functions are
// reentrant.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The name with every '\\' turned into '/'.
std::string NormalizedEntryName(std::string_view name);

// True when the name ends with a separator, as folder entries are named.
bool HasTrailingSeparator(std::string_view name);

// Splits a name into the components of the relative path it stands for. With fileNameOnly only
// the last component is kept (the rest of the name is not looked at). False, with `parts` empty,
// for an absolute name, a ".." component, or no component at all.
bool EntryPathParts(std::string_view name, bool fileNameOnly, std::vector<std::string>& parts);

// True when a name we are about to store is relative and stays below the archive's root:
// not empty, no leading separator, no ".." component.
bool IsSafeEntryName(std::string_view name);
