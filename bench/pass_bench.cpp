// Wall time of a test pass and an upgrade pass over 100 units of unit-sim on loopback,
// next to the floor the pass cannot go below: the test pass's two fixed 2-second waits
// plus the session time per unit (measured here on one unit), times the units.
// Run it inside a private network namespace (it sends only to 127.20.x.x):
//   unshare --net -- sh -c 'ip link set lo up && build/default/bin/bench_passes'
#include "request/device_client.h"
#include "tests/upgrade/fleet_station.h"
#include "upgrade/notices.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kUnits = 100;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

PassSettings Settings() {
    PassSettings s{};
    s.method = kMethodUrl;
    s.option = kOptionNotEqual;
    const std::u16string url = u"http://127.0.0.1/tevpack-3.18.9.bin";
    url.copy(s.url, kSettingsUrlUnits - 1);
    return s;
}

// Mean time of one session of each kind the passes open, on the first unit.
struct SessionTimes {
    double test;    // open and close (the connection test)
    double query;   // the package-attribute query
    double upgrade; // the upgrade command with the unit's credentials
};

SessionTimes MeasureSessions(upgradetest::FleetStation& station) {
    const DeviceEntry* entry = station.Entry(0);
    SessionTimes times{};
    if (entry == nullptr) {
        return times;
    }
    char16_t mac[18];
    char16_t address[16];
    UnitMacText(entry->macAddress, mac);
    UnitAddressText(entry->ipAddress, address);
    const uint8_t flags = PassFlagsByte(station.Context());
    constexpr int kRounds = 10;
    auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        ProcTestRemDevConnection(flags, mac, address);
    }
    times.test = Seconds(Clock::now() - start) / kRounds;
    uint8_t answer[2048];
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        int room = sizeof answer;
        ProcQryState(flags, mac, address, 0, 14, &room, answer);
    }
    times.query = Seconds(Clock::now() - start) / kRounds;
    // "testonly usb" is accepted and installs nothing, so the unit stays as it is.
    const char text[] = "noteq testonly usb";
    start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        ProcSSendCmd(flags, mac, address, entry->groupName, entry->groupPassword, sizeof text,
                     reinterpret_cast<const uint8_t*>(text));
    }
    times.upgrade = Seconds(Clock::now() - start) / kRounds;
    return times;
}

void BM_Passes100(benchmark::State& state) {
    for (auto _ : state) {
        upgradetest::FleetStation station({20, kUnits, {}});
        if (!station.Started() || !station.Discover(kUnits)) {
            state.SkipWithError("the simulated fleet did not come up");
            return;
        }
        station.SelectAll();
        auto start = Clock::now();
        station.RunJob(kJobTestPass, kNotifyTestEnded, 600000);
        const double testWall = Seconds(Clock::now() - start);
        station.Settings().Set(Settings());
        start = Clock::now();
        station.RunJob(kJobUpgradePass, kNotifyProgress, 600000);
        const double upgradeWall = Seconds(Clock::now() - start);
        const SessionTimes sessions = MeasureSessions(station);

        state.SetIterationTime(testWall + upgradeWall);
        state.counters["test_pass_s"] = testWall;
        state.counters["test_floor_s"] =
            2 * kPhaseWaitMs / 1000.0 + kUnits * (sessions.test + sessions.query);
        state.counters["upgrade_pass_s"] = upgradeWall;
        state.counters["upgrade_floor_s"] = kUnits * sessions.upgrade;
        state.counters["session_test_ms"] = sessions.test * 1000;
        state.counters["session_query_ms"] = sessions.query * 1000;
        state.counters["session_upgrade_ms"] = sessions.upgrade * 1000;
    }
}
BENCHMARK(BM_Passes100)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
