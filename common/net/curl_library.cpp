#include "curl_library.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "core/dbg_output.h"

namespace {

constexpr const char* kCurlLibraryFile = "libcurl.so.4";
constexpr const char* kCurlLibraryVariable = "ORBO_LIBCURL";

std::mutex gLoadGuard;
void* gLibraryHandle = nullptr;  // guarded by gLoadGuard
CurlLibrary gTable{};            // filled under gLoadGuard before it is published
std::atomic<const CurlLibrary*> gLoaded{nullptr};

struct FunctionSlot {
    const char* name;
    void** slot;
};

template <typename F>
void** SlotOf(F& function) {
    return reinterpret_cast<void**>(&function);
}

const char* LibraryFileName() {
    const char* named = std::getenv(kCurlLibraryVariable);
    return named != nullptr && named[0] != '\0' ? named : kCurlLibraryFile;
}

}  // namespace

int InitSysLibCURL() {
    std::lock_guard<std::mutex> hold(gLoadGuard);
    if (gLoaded.load() != nullptr) return 1;

    const char* file = LibraryFileName();
    // Never unmapped again: libcurl's dependencies (TLS, LDAP, SASL) keep global state and exit
    // handlers that must not outlive their code. DeInitSysLibCURL still forgets every function.
    void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (library == nullptr) {
        const char* reason = dlerror();
        DbgOutputA(kDbgLevelError, "load library %s failed: %s\r\n", file,
                   reason != nullptr ? reason : "unknown reason");
        return 0;
    }

    CurlLibrary table{};
    // Looked up in this order; the first one missing names itself.
    const FunctionSlot slots[] = {
        {"curl_version", SlotOf(table.version)},
        {"curl_global_init", SlotOf(table.globalInit)},
        {"curl_global_cleanup", SlotOf(table.globalCleanup)},
        {"curl_easy_init", SlotOf(table.easyInit)},
        {"curl_easy_duphandle", SlotOf(table.easyDupHandle)},
        {"curl_easy_reset", SlotOf(table.easyReset)},
        {"curl_easy_cleanup", SlotOf(table.easyCleanup)},
        {"curl_easy_setopt", SlotOf(table.easySetOpt)},
        {"curl_easy_perform", SlotOf(table.easyPerform)},
        {"curl_easy_getinfo", SlotOf(table.easyGetInfo)},
        {"curl_easy_strerror", SlotOf(table.easyStrError)},
        {"curl_multi_init", SlotOf(table.multiInit)},
        {"curl_multi_cleanup", SlotOf(table.multiCleanup)},
        {"curl_multi_add_handle", SlotOf(table.multiAddHandle)},
        {"curl_multi_remove_handle", SlotOf(table.multiRemoveHandle)},
        {"curl_multi_perform", SlotOf(table.multiPerform)},
        {"curl_multi_timeout", SlotOf(table.multiTimeout)},
        {"curl_multi_fdset", SlotOf(table.multiFdSet)},
        {"curl_multi_info_read", SlotOf(table.multiInfoRead)},
        {"curl_slist_append", SlotOf(table.slistAppend)},
        {"curl_slist_free_all", SlotOf(table.slistFreeAll)},
    };
    for (const FunctionSlot& entry : slots) {
        *entry.slot = dlsym(library, entry.name);
        if (*entry.slot == nullptr) {
            DbgOutputA(kDbgLevelError, "get function %s failed\r\n", entry.name);
            dlclose(library);
            return 0;
        }
        if (entry.slot == SlotOf(table.version)) {
            DbgOutputA(kDbgLevelInfo, "curl_version = (%s)\r\n", table.version());
        }
    }

    const CURLcode initResult = table.globalInit(CURL_GLOBAL_ALL);
    if (initResult != CURLE_OK) {
        DbgOutputA(kDbgLevelError, "curl_global_init failed: %d\r\n", static_cast<int>(initResult));
        dlclose(library);
        return 0;
    }
    gTable = table;
    gLibraryHandle = library;
    gLoaded.store(&gTable);
    return 1;
}

void DeInitSysLibCURL() {
    std::lock_guard<std::mutex> hold(gLoadGuard);
    if (gLoaded.load() == nullptr) return;
    gLoaded.store(nullptr);
    gTable.globalCleanup();
    dlclose(gLibraryHandle);
    gLibraryHandle = nullptr;
    gTable = CurlLibrary{};
}

const CurlLibrary* LoadedCurlLibrary() {
    return gLoaded.load();
}

const CurlLibrary* RequireCurlLibrary() {
    const CurlLibrary* library = gLoaded.load();
    if (library == nullptr) DbgOutputA(kDbgLevelWarning, "MUST Init LibCURL first!\r\n");
    return library;
}
