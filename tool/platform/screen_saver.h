// Keeping the machine awake while acquiring: the desktop's screen-saver inhibit over D-Bus
// (org.freedesktop.ScreenSaver Inhibit / UnInhibit) where a session bus and the service exist;
// nothing otherwise, and never an error (a headless run has no session bus).
//
// Window thread only (the calls wait at most kScreenSaverCallTimeoutMs for the bus).
#pragma once

#include <QString>

#include <cstdint>

constexpr int kScreenSaverCallTimeoutMs = 2000;

class ScreenSaverInhibitor {
public:
    ScreenSaverInhibitor() = default;
    // Releases a held inhibition.
    ~ScreenSaverInhibitor();
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;

    // Asks the desktop to keep the screen awake, giving `reason`; true when the desktop took it.
    // Holding already: true, nothing more is asked.
    bool Inhibit(const QString& reason);
    // Hands the inhibition back (nothing when none is held).
    void Release();
    bool IsHeld() const { return m_held; }

private:
    bool m_held = false;
    uint32_t m_cookie = 0;
};
