// The station end to end against unit-sim on loopback: the real listener, the upgrader
// thread with the network peers, and the test thread standing in for the main window
// (it drains a MessageQueueWindow and merges each record into the device table, as the
// window does).
#pragma once

#include "tests/tools/unit-sim/sim_peer.h"
#include "tests/upgrade/recording_peers.h"
#include "upgrade/upgrader_thread.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace upgradetest {

struct FleetSpec {
    int slot = 0; // picks this test's addresses and ports, so tests can run side by side
    int units = 1;
    std::vector<std::string> simArgs; // further unit-sim options
};

class FleetStation {
  public:
    explicit FleetStation(const FleetSpec& spec);
    ~FleetStation();
    FleetStation(const FleetStation&) = delete;
    FleetStation& operator=(const FleetStation&) = delete;

    bool Started() const { return started_; }
    // unit k's address, "127.x.y.z".
    std::string UnitIp(int k) const;
    const std::string& LogPath() const { return logPath_; }

    // A range search over every unit; true once `expected` units are in the table.
    bool Discover(int expected);
    // Selects every unit in the table, as Select All does.
    void SelectAll();
    // Hands over a job (pass settings first) and plays the window until the pass's end
    // notice arrives; returns every notice in order.
    std::vector<Notice> RunJob(uint8_t bit, uint32_t endCode, int timeoutMs = 120000);
    // Plays the window until `done` says so or `timeoutMs` passes.
    template <typename Done> bool Play(Done done, int timeoutMs, std::vector<Notice>* seen);

    ThreadContext& Context();
    SharedDeviceTable& Table() { return shared_; }
    SharedPassSettings& Settings() { return settings_; }
    const DeviceEntry* Entry(int k) const;

  private:
    void Merge(const Notice& notice);
    bool PlayOne(uint32_t timeoutMs, Notice& notice);

    FleetSpec spec_;
    uint32_t firstIp_;
    uint16_t broadcastPort_, listenPort_, sessionPort_;
    std::string logPath_;
    simtest::SimProcess sim_;
    platform::MessageQueueWindow window_;
    std::unique_ptr<DeviceTable> table_;
    SharedDeviceTable shared_;
    SharedPassSettings settings_;
    platform::EventHandle listenEvent_ = nullptr;
    platform::EventHandle updaterEvent_ = nullptr;
    std::thread listener_;
    std::thread upgrader_;
    bool started_ = false;
};

template <typename Done>
bool FleetStation::Play(Done done, int timeoutMs, std::vector<Notice>* seen) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Notice notice;
        if (PlayOne(20, notice) && seen) {
            seen->push_back(notice);
        }
    }
    return true;
}

// What a unit got from the station, from the simulator's log in order: "set-group",
// "group-info", "login", "query 14", "config 17", "upgrade <text>", "secondaries <hex>",
// "logout", with the simulator's clock in milliseconds.
struct SimRequest {
    long long ms;
    std::string what;
};
std::vector<SimRequest> UnitRequests(const std::string& logPath, const std::string& ip);
std::vector<std::string> UnitRequestNames(const std::string& logPath, const std::string& ip);

} // namespace upgradetest
