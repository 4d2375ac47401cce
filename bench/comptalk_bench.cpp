// One whole CompTalk session against the unit simulator on loopback: connect, greeting,
// login, one state query (the installed package, tag 14), logout. The second benchmark
// runs the same session over a stream that times each phase and counts the receive
// routines' 10 ms waits, to show where the time goes.
#include "platform/socket.h"
#include "protocol/comptalk.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr uint16_t kBasePort = 25300;
constexpr uint16_t kSessionPort = kBasePort + 2;
constexpr char kUnitIp[] = "127.0.71.1";
constexpr uint8_t kFlags = 0x2D;
constexpr uint8_t kUnitMac[6] = {0x02, 0x52, 0x56, 0, 0, 1};
constexpr uint8_t kStationIp[4] = {127, 0, 0, 1};
constexpr uint8_t kStationMac[6] = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

// Started once, stopped when the program ends.
void Sim() {
    static simtest::SimProcess sim;
    static const bool started =
        sim.Start({"--units", "1", "--first-ip", kUnitIp, "--password", "secret",
                   "--broadcast-port", std::to_string(kBasePort), "--station-port",
                   std::to_string(kBasePort + 1), "--session-port", std::to_string(kSessionPort)});
    if (!started) {
        std::fprintf(stderr, "unit-sim did not start\n");
        std::exit(1);
    }
}

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Passes everything to the socket stream and counts the waits between attempts.
class CountingStream : public CompTalkStream {
  public:
    CountingStream(std::unique_ptr<CompTalkStream> inner, int* pauses)
        : inner_(std::move(inner)), pauses_(pauses) {}
    int Receive(uint8_t* b, size_t c, size_t* r, bool peek) override {
        return inner_->Receive(b, c, r, peek);
    }
    int BytesWaiting(size_t* count) override { return inner_->BytesWaiting(count); }
    int Send(const uint8_t* d, size_t s, size_t* sent) override { return inner_->Send(d, s, sent); }
    void Pause(int ms) override {
        ++*pauses_;
        inner_->Pause(ms);
    }

  private:
    std::unique_ptr<CompTalkStream> inner_;
    int* pauses_;
};

void BM_FullSession(benchmark::State& state) {
    Sim();
    uint8_t reply[kCompTalkReplyRoom];
    for (auto _ : state) {
        CompTalkSession* session = CompTalkOpen(kFlags, kUnitIp, kSessionPort, kUnitMac, kStationIp,
                                                kStationMac, u"", u"secret");
        size_t length = 0;
        if (!session || CompTalkSend(session, 8, 14, nullptr, 0, reply, &length) != 0) {
            state.SkipWithError("session failed");
            CompTalkClose(session);
            break;
        }
        CompTalkClose(session);
    }
}
BENCHMARK(BM_FullSession)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SessionPhases(benchmark::State& state) {
    Sim();
    uint8_t reply[kCompTalkReplyRoom];
    double connect = 0, login = 0, query = 0, logout = 0;
    int loginPauses = 0, queryPauses = 0, logoutPauses = 0;
    for (auto _ : state) {
        using Clock = std::chrono::steady_clock;
        const auto t0 = Clock::now();
        int error = 0;
        platform::Socket socket = platform::OpenTcpSocket(&error);
        platform::SetNoDelay(socket, true);
        if (platform::Connect(socket, platform::Endpoint{{127, 0, 71, 1}, kSessionPort}) != 0 ||
            platform::SetNonBlocking(socket, true) != 0) {
            state.SkipWithError("connect failed");
            break;
        }
        const auto t1 = Clock::now();
        int pauses = 0;
        auto stream =
            std::make_unique<CountingStream>(MakeSocketStream(std::move(socket)), &pauses);
        CompTalkSession* session =
            CompTalkOpenStream(std::move(stream), kFlags, kUnitIp, kSessionPort, kUnitMac,
                               kStationIp, kStationMac, u"", u"secret");
        const auto t2 = Clock::now();
        loginPauses += pauses;
        pauses = 0;
        size_t length = 0;
        if (!session || CompTalkSend(session, 8, 14, nullptr, 0, reply, &length) != 0) {
            state.SkipWithError("session failed");
            CompTalkClose(session);
            break;
        }
        const auto t3 = Clock::now();
        queryPauses += pauses;
        pauses = 0;
        CompTalkClose(session);
        const auto t4 = Clock::now();
        logoutPauses += pauses;
        connect += Ms(t1 - t0);
        login += Ms(t2 - t1);
        query += Ms(t3 - t2);
        logout += Ms(t4 - t3);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["connect_ms"] = connect / n;
    state.counters["greeting_login_ms"] = login / n;
    state.counters["query_ms"] = query / n;
    state.counters["logout_ms"] = logout / n;
    state.counters["greeting_login_waits"] = loginPauses / n;
    state.counters["query_waits"] = queryPauses / n;
    state.counters["logout_waits"] = logoutPauses / n;
}
BENCHMARK(BM_SessionPhases)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
