// Helpers for the buffer and container tests: entries from integers and contents as vectors
// (with the shared capture of debug lines).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ptr_ctrl.h"
#include "support/log_capture.h"

inline void* Entry(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

inline std::vector<uintptr_t> Contents(CPtrCtrl& container) {
    std::vector<uintptr_t> values;
    for (int i = 0; i < container.GetCount(); ++i) {
        values.push_back(reinterpret_cast<uintptr_t>(container.GetAt(i)));
    }
    return values;
}

inline void Fill(CPtrCtrl& container, const std::vector<uintptr_t>& values) {
    container.DeleteAll();
    for (uintptr_t value : values) container.AddData(Entry(value), -1);
}
