// Marks the names libOrbo_Common.so exports. The library is built with hidden visibility: every
// class, function and global of a public header carries this mark; headers named *_internal.h
// are internal and reached only by the library itself and its tests.
#pragma once

#define ORBO_COMMON_API __attribute__((visibility("default")))
