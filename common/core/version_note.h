// The version note every binary of the project carries: an ELF note of owner "Orbo" and type
// kOrboVersionNoteType whose descriptor is the version text ("0.1.0") with its terminator. It lies
// in an allocated note section, so the linker puts it into a PT_NOTE segment that survives
// stripping; GetFileVersionA/W reads it back from the file.
//
// ORBO_VERSION_NOTE("x.y.z") at namespace scope of one source file per binary emits the note. The
// library emits its own; every target that links Orbo_Common gets a generated source that emits
// one for itself (common/CMakeLists.txt), the version coming from project() in CMake.
#pragma once

constexpr const char* kOrboVersionNoteOwner = "Orbo";
constexpr unsigned kOrboVersionNoteType = 1;

#define ORBO_VERSION_NOTE(versionText)                  \
    __asm__(                                            \
        ".pushsection .note.orbo.version,\"a\",%note\n" \
        ".balign 4\n"                                   \
        ".long 5\n"                                     \
        ".long 2f - 1f\n"                               \
        ".long 1\n"                                     \
        ".asciz \"Orbo\"\n"                             \
        ".balign 4\n"                                   \
        "1: .asciz \"" versionText                      \
        "\"\n"                                          \
        "2: .balign 4\n"                                \
        ".popsection\n")
