#include "firmware_service.h"

#include <cstdlib>
#include <mutex>
#include <optional>

#include "core/base_buffer.h"
#include "core/dbg_output.h"
#include "net/curl_library.h"
#include "net/http_transfer.h"

namespace {

struct ServiceState {
    std::mutex lock;
    std::string base;                    // as the caller set it (trimmed)
    std::optional<FirmwareIndex> index;  // the last index read, with the base it came from
};

ServiceState& State() {
    static ServiceState state;
    return state;
}

}  // namespace

bool SetFirmwareServiceBase(const char* base) {
    const std::string text = base != nullptr ? base : "";
    if (!text.empty() && SchemeOfAddress(text) == FirmwareAddressScheme::None) {
        DbgOutputA(kDbgLevelWarning,
                   "firmware service address \"%s\" refused: only http://, https:// and file:// "
                   "addresses are served\r\n",
                   text.c_str());
        return false;
    }
    ServiceState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.base = TrimBaseAddress(text);
    state.index.reset();
    return true;
}

std::string EffectiveFirmwareServiceBase() {
    const char* overridden = std::getenv(kFirmwareUrlVariable);
    if (overridden != nullptr && overridden[0] != '\0') return TrimBaseAddress(overridden);
    ServiceState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.base;
}

namespace {

bool ReadFirmwareIndex(FirmwareIndex& out) {
    const std::string base = EffectiveFirmwareServiceBase();
    if (base.empty()) {
        DbgOutputA(kDbgLevelWarning,
                   "no firmware service address: set FirmwareServiceUrl in the Download section "
                   "of appConfig.xml or the environment variable %s\r\n",
                   kFirmwareUrlVariable);
        return false;
    }
    if (SchemeOfAddress(base) == FirmwareAddressScheme::None) {
        DbgOutputA(kDbgLevelWarning,
                   "firmware service address \"%s\" refused: only http://, https:// and file:// "
                   "addresses are served\r\n",
                   base.c_str());
        return false;
    }
    if (InitSysLibCURL() == 0) {
        DbgOutputA(kDbgLevelError, "firmware index: libcurl cannot be loaded\r\n");
        return false;
    }
    const std::string address = IndexAddressOf(base);
    CBaseBuffer body;
    if (PerformHttpGetCommand(address.c_str(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0, 0,
                              nullptr, nullptr, nullptr, &body) == 0) {
        DbgOutputA(kDbgLevelWarning, "firmware index %s could not be read\r\n", address.c_str());
        return false;
    }
    FirmwareIndex index;
    if (!ParseFirmwareIndex(body.GetBuffer(), body.GetBuffer() != nullptr ? body.GetAvailSize() : 0,
                            base, index)) {
        return false;
    }
    DbgOutputA(kDbgLevelInfo, "firmware index %s: %zu versions\r\n", address.c_str(),
               index.versions.size());
    out = std::move(index);
    return true;
}

}  // namespace

bool RefreshFirmwareIndex(FirmwareIndex& out) {
    FirmwareIndex index;
    const bool read = ReadFirmwareIndex(index);
    ServiceState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    // A service that can no longer be read is not answered from what it said before.
    if (read) {
        state.index = index;
    } else {
        state.index.reset();
    }
    out = std::move(index);
    return read;
}

bool CurrentFirmwareIndex(FirmwareIndex& out) {
    const std::string base = EffectiveFirmwareServiceBase();
    {
        ServiceState& state = State();
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.index && !base.empty() && state.index->base == base) {
            out = *state.index;
            return true;
        }
    }
    return RefreshFirmwareIndex(out);
}
