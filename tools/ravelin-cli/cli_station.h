// The headless station: the same listener, device table, dispatcher and upgrader thread
// as the desktop program, with this process as the notification receiver. The thread
// that owns the Station plays the main window: it drains the receiver's queue and merges
// every record into the table exactly as the window's handler does.
#pragma once

#include "app/device_table.h"
#include "platform/message_queue_window.h"
#include "platform/named_event.h"
#include "upgrade/shared_table.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace cli {

// Told of each progress notice (0..100) of the pass that runs.
using ProgressSink = std::function<void(int percent)>;

class Station {
  public:
    Station();
    ~Station(); // the window's shut-down: quit bits, both events, threads joined
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Creates the two events, makes this process the NotifyWindow and starts the
    // listener and the upgrader thread on the process's ThreadContext (filled before).
    // False with `error` set when anything could not start.
    bool Start(int maxListSize, std::string& error);

    // Search: empties the table and sends the discovery (range texts, or none for a
    // broadcast). False when the request reports failure.
    bool Search(const std::u16string* start, const std::u16string* end);
    // Plays the window for `seconds`, or until `enough` says so after a merge.
    void Collect(double seconds, const std::function<bool(const DeviceTable&)>& enough);

    // Runs one job (bit 0x04, 0x08, 0x20 or 0x40) to its end notice, playing the
    // window meanwhile. `interrupted` (when set by a signal) asks the pass to abort.
    void RunJob(uint8_t bit, const ProgressSink& progress, const std::atomic<bool>* interrupted);

    // Changes to the table go through here (the upgrader thread reads it meanwhile).
    template <typename Change> auto Write(Change&& change) { return shared_.Write(change); }
    const DeviceTable& Table() const { return *table_; }

    // How many records arrived and how many merged (all codes), for the benchmark.
    int RecordsMerged() const { return merged_; }

  private:
    bool PlayOne(uint32_t timeoutMs, uint32_t* code, intptr_t* value);

    std::unique_ptr<DeviceTable> table_;
    SharedDeviceTable shared_;
    SharedPassSettings settings_;
    platform::MessageQueueWindow window_;
    platform::EventHandle listenEvent_ = nullptr;
    platform::EventHandle updaterEvent_ = nullptr;
    std::thread listener_;
    std::thread upgrader_;
    int maxListSize_ = 20;
    int merged_ = 0;

  public:
    SharedPassSettings& Settings() { return settings_; }
};

} // namespace cli
