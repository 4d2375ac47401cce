// The main window's two long-lived worker threads, the broadcast listener and the
// upgrader, with what they share with the window: the device table behind its lock and
// the pass settings. The one instance is never destroyed, so a thread that outlives the
// window never reaches freed memory; such a thread is detached and recorded, and the
// program then ends without running static destructors under it.
#pragma once

#include "config/config_items.h"
#include "platform/named_event.h"
#include "request/thread_context.h"
#include "upgrade/pass_settings.h"
#include "upgrade/shared_table.h"

#include <thread>

class StationWorkers {
  public:
    static StationWorkers& Instance();

    SharedDeviceTable& table() { return table_; }
    SharedPassSettings& settings() { return settings_; }

    // Each starts its thread on `context` with the identifier recorded in the context;
    // false when the thread could not be started.
    bool StartListener(ThreadContext& context);
    bool StartUpgrader(ThreadContext& context);

    // After the close sequence's wait: joins each thread whose identifier slot is 0 and
    // detaches (and records) one that is still running.
    void Collect(const ThreadContext& context);

    // Whether a worker was left running by a close sequence.
    bool outlived() const { return outlived_; }

  private:
    StationWorkers();

    SharedDeviceTable table_;
    SharedPassSettings settings_;
    std::thread listener_;
    std::thread upgrader_;
    bool outlived_ = false;
};

// The named auto-reset event "RavelinUpdaterEvent" as the windows hold it: created by the
// main window's first opening and kept open for the life of the process; null when its
// creation failed.
platform::EventHandle UpdaterEvent();
void SetUpdaterEvent(platform::EventHandle event);

// The settings an upgrade pass reads, taken from the configuration items.
PassSettings PassSettingsFromConfig(const ConfigValues& config);
