// libcurl, loaded at run time: the table of the functions the HTTP transfers use.
//
// The library file is "libcurl.so.4", or the file named by the environment variable ORBO_LIBCURL
// when it is set and not empty. Nothing of libcurl is linked at build time, so a process without
// it still loads Orbo_Common; every transfer function then fails with
// "MUST Init LibCURL first!\r\n" until InitSysLibCURL succeeds.
//
// InitSysLibCURL and DeInitSysLibCURL may be called from any thread; they are serialised with
// each other. The table they publish must not be unloaded while transfers run (the caller's
// duty: DeInitSysLibCURL belongs to shut-down).
#pragma once

#include <curl/curl.h>
#include "core/common_api.h"

// 1 at once when already loaded. Otherwise loads the library, looks up every function of the
// table (the first one missing is reported at level 4 as "get function <name> failed\r\n" and
// everything is unloaded again: 0), writes "curl_version = (%s)\r\n", initialises libcurl with
// all global features and returns 1. A library file that cannot be loaded gives 0 with a line
// naming the file and the loader's reason.
ORBO_COMMON_API int InitSysLibCURL();

// Global clean-up, unloads the library and forgets every function (its code stays mapped in
// the process, since its dependencies' exit handlers may still run). Nothing when not loaded.
ORBO_COMMON_API void DeInitSysLibCURL();

// The functions of the loaded library.
struct ORBO_COMMON_API CurlLibrary {
    decltype(&curl_version) version;
    decltype(&curl_global_init) globalInit;
    decltype(&curl_global_cleanup) globalCleanup;
    decltype(&curl_easy_init) easyInit;
    decltype(&curl_easy_duphandle) easyDupHandle;
    decltype(&curl_easy_reset) easyReset;
    decltype(&curl_easy_cleanup) easyCleanup;
    decltype(&curl_easy_setopt) easySetOpt;
    decltype(&curl_easy_perform) easyPerform;
    decltype(&curl_easy_getinfo) easyGetInfo;
    decltype(&curl_easy_strerror) easyStrError;
    decltype(&curl_multi_init) multiInit;
    decltype(&curl_multi_cleanup) multiCleanup;
    decltype(&curl_multi_add_handle) multiAddHandle;
    decltype(&curl_multi_remove_handle) multiRemoveHandle;
    decltype(&curl_multi_perform) multiPerform;
    decltype(&curl_multi_timeout) multiTimeout;
    decltype(&curl_multi_fdset) multiFdSet;
    decltype(&curl_multi_info_read) multiInfoRead;
    decltype(&curl_slist_append) slistAppend;
    decltype(&curl_slist_free_all) slistFreeAll;
};

// The table while the library is loaded, else null. Any thread.
ORBO_COMMON_API const CurlLibrary* LoadedCurlLibrary();

// As LoadedCurlLibrary, but writes "MUST Init LibCURL first!\r\n" at level 3 when it gives null.
// Every transfer function starts with it.
ORBO_COMMON_API const CurlLibrary* RequireCurlLibrary();
