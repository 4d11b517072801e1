// The radar device library's stream link that also keeps the payload of every command it sent,
// for tests that check what went to the sensor.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "device/radar_device_stream_link.h"

class ObservedStreamLink : public RadarDeviceStreamLink {
public:
    using RadarDeviceStreamLink::RadarDeviceStreamLink;
    uint16_t SendCommand(uint16_t command, const uint8_t* payload, int length,
                         uint32_t timeoutMs) override {
        {
            std::lock_guard lock(m_mutex);
            m_payloads.emplace_back(payload, payload + length);
        }
        return RadarDeviceStreamLink::SendCommand(command, payload, length, timeoutMs);
    }
    std::vector<std::vector<uint8_t>> Payloads() const {
        std::lock_guard lock(m_mutex);
        return m_payloads;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_payloads;
};
