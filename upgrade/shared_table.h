// The device table as the upgrader thread reaches it. The user-interface thread is the
// only writer and makes every write through Write(), under a lock; a pass never reads a
// live slot but takes copies of the entries it works on, under the same lock, when the
// pass or phase starts. The user-interface thread's own reads need no lock.
#pragma once

#include "app/device_table.h"
#include "upgrade/pass_settings.h"

#include <mutex>
#include <vector>

class SharedDeviceTable {
  public:
    explicit SharedDeviceTable(DeviceTable& table) : table_(table) {}
    SharedDeviceTable(const SharedDeviceTable&) = delete;
    SharedDeviceTable& operator=(const SharedDeviceTable&) = delete;

    // User-interface thread: runs `change` on the table under the lock and returns its
    // result (a merge's slot, for example).
    template <typename Change> auto Write(Change&& change) {
        std::lock_guard<std::mutex> hold(mutex_);
        return change(table_);
    }

    // User-interface thread only: the table it alone writes.
    const DeviceTable& Table() const { return table_; }

    // Any thread: copies, in slot order, of the used entries that `wanted` accepts.
    using Filter = bool (*)(const DeviceEntry&);
    std::vector<DeviceEntry> Snapshot(Filter wanted) const;

  private:
    mutable std::mutex mutex_;
    DeviceTable& table_;
};

// A pass's settings, set by a window before it hands over the job and copied by the
// pass when it starts.
class SharedPassSettings {
  public:
    void Set(const PassSettings& settings);
    PassSettings Get() const;

  private:
    mutable std::mutex mutex_;
    PassSettings settings_{};
};
