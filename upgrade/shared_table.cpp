#include "upgrade/shared_table.h"

#include <algorithm>

std::vector<DeviceEntry> SharedDeviceTable::Snapshot(Filter wanted) const {
    std::vector<DeviceEntry> units;
    std::lock_guard<std::mutex> hold(mutex_);
    const int count = std::clamp(table_.count, 0, kDeviceTableSlots);
    for (int slot = 0; slot < count; ++slot) {
        if (wanted(table_.slots[slot])) {
            units.push_back(table_.slots[slot]);
        }
    }
    return units;
}

void SharedPassSettings::Set(const PassSettings& settings) {
    std::lock_guard<std::mutex> hold(mutex_);
    settings_ = settings;
}

PassSettings SharedPassSettings::Get() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return settings_;
}
