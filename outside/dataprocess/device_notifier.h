// The device's listeners and the delivery of its link events to them.
//
// Events are queued where they happen (under the device's state lock, so the queue order is the
// order of the state changes) and delivered later by Deliver, called with no device lock held.
// One thread delivers at a time; a Deliver that finds another thread delivering leaves the queue
// to it, and a listener that causes new events (reopening from a notification) gets them after it
// returned. So listeners see Connected and Disconnected strictly in event order and are never
// called under a lock of the library.
//
// Thread-safe.
#pragma once

#include <deque>
#include <thread>
#include <vector>

#include "core/base_event.h"
#include "core/base_lock.h"
#include "radar_device_interface.h"

enum class DeviceEvent { Connected, Disconnected };

class DeviceNotifier {
public:
    explicit DeviceNotifier(IRadarDevice* device);
    DeviceNotifier(const DeviceNotifier&) = delete;
    DeviceNotifier& operator=(const DeviceNotifier&) = delete;

    // False for null or a listener already registered (which stays registered once).
    bool Add(IRadarDeviceListener* listener);
    // False when not registered. Waits for a delivery running on another thread to end, so the
    // listener is not called after this returns.
    bool Remove(IRadarDeviceListener* listener);

    // Queues an event (no listener is called here).
    void Queue(DeviceEvent event);
    // Delivers the queued events unless another thread is delivering. Call with no lock held.
    void Deliver();
    // Waits until no delivery runs (returns at once on the delivering thread itself).
    void WaitIdle();

private:
    bool IsDeliveringElsewhere() const;  // m_lock held

    IRadarDevice* const m_device;
    mutable CBaseLock m_lock;
    CBaseEvent m_idle{nullptr, 1};  // manual reset: set while nobody delivers
    std::vector<IRadarDeviceListener*> m_listeners;
    std::deque<DeviceEvent> m_queue;
    bool m_delivering = false;
    std::thread::id m_deliverer;
};
