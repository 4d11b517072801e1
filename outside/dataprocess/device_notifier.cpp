#include "device_notifier.h"

#include <algorithm>

DeviceNotifier::DeviceNotifier(IRadarDevice* device) : m_device(device) {
    m_idle.Set();
}

bool DeviceNotifier::Add(IRadarDeviceListener* listener) {
    if (listener == nullptr) return false;
    CAutoBaseLock guard(&m_lock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end()) {
        return false;
    }
    m_listeners.push_back(listener);
    return true;
}

bool DeviceNotifier::Remove(IRadarDeviceListener* listener) {
    {
        CAutoBaseLock guard(&m_lock);
        auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
        if (it == m_listeners.end()) return false;
        m_listeners.erase(it);
    }
    WaitIdle();
    return true;
}

void DeviceNotifier::Queue(DeviceEvent event) {
    CAutoBaseLock guard(&m_lock);
    m_queue.push_back(event);
}

bool DeviceNotifier::IsDeliveringElsewhere() const {
    return m_delivering && m_deliverer != std::this_thread::get_id();
}

void DeviceNotifier::Deliver() {
    CAutoBaseLock guard(&m_lock);
    if (m_delivering) return;  // the deliverer (maybe this thread, further up) takes them
    m_delivering = true;
    m_deliverer = std::this_thread::get_id();
    m_idle.Reset();
    while (!m_queue.empty()) {
        const DeviceEvent event = m_queue.front();
        m_queue.pop_front();
        const std::vector<IRadarDeviceListener*> listeners = m_listeners;
        m_lock.Unlock();
        for (IRadarDeviceListener* listener : listeners) {
            {
                // A listener removed by an earlier one in this round is not called any more.
                CAutoBaseLock check(&m_lock);
                if (std::find(m_listeners.begin(), m_listeners.end(), listener) ==
                    m_listeners.end()) {
                    continue;
                }
            }
            if (event == DeviceEvent::Connected) {
                listener->OnRadarDeviceConnected(m_device);
            } else {
                listener->OnRadarDeviceDisconnected(m_device);
            }
        }
        m_lock.Lock();
    }
    m_delivering = false;
    m_deliverer = std::thread::id();
    m_idle.Set();
}

void DeviceNotifier::WaitIdle() {
    for (;;) {
        {
            CAutoBaseLock guard(&m_lock);
            if (!IsDeliveringElsewhere()) return;
        }
        m_idle.Wait();
    }
}
