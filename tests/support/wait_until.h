// Waiting for a condition with a deadline: the only way tests synchronise with other threads
// and processes (never a bare sleep).
#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Polls the condition every millisecond until it holds (true) or the deadline passes (false).
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
