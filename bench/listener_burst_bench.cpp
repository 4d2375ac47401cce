// A burst of 500 enciphered discovery replies through the real listener: the time from
// the first datagram sent to the 500th record merged into the device table, and the
// most worker threads that ran at once. Loopback only.
#include "app/device_table.h"
#include "listener/broadcast_listener.h"
#include "platform/message_queue_window.h"
#include "platform/named_event.h"
#include "platform/socket.h"
#include "tests/listener/reply_packets.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kUnits = 500;

void BM_ListenerBurst(benchmark::State& state) {
    auto context = std::make_unique<ThreadContext>();
    std::u16string(u"BenchListenEvent").copy(context->listenEventName, kEventNameUnits - 1);
    context->listenPort = 47604;
    platform::EventHandle event = platform::CreateNamedEvent(u"BenchListenEvent", true, false);
    platform::MessageQueueWindow window;
    platform::SetNotifyWindow(window.handle());
    std::thread listener = StartBroadcastListener(*context);
    while (context->threadStates[1].load() != 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int error = 0;
    platform::Socket sender = platform::OpenUdpSocket(&error);
    std::vector<std::vector<uint8_t>> replies;
    for (int unit = 0; unit < kUnits; ++unit) {
        replies.push_back(testing_replies::ReplyPacket(2, testing_replies::DiscoveryBody(unit)));
    }
    auto table = std::make_unique<DeviceTable>();
    int lost = 0;
    for (auto _ : state) {
        EmptyTableForSearch(*table);
        ResetPeakBroadcastWorkers();
        const auto began = std::chrono::steady_clock::now();
        for (const auto& reply : replies) {
            size_t sent = 0;
            platform::SendTo(sender, reply.data(), reply.size(),
                             {{127, 0, 0, 1}, context->listenPort}, &sent);
        }
        platform::Message message;
        while (table->count < kUnits && window.TakeMessage(message, 3000)) {
            if (auto entry = message.record.Take<DeviceEntry>()) {
                MergeDiscoveryRecord(*table, *entry, kDeviceTableSlots);
            }
        }
        const auto took = std::chrono::steady_clock::now() - began;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        lost += kUnits - table->count;
        WaitForBroadcastWorkers(5000);
    }
    state.counters["peak_workers"] = PeakBroadcastWorkers();
    state.counters["lost"] = lost;
    context->listenerFlags.fetch_or(kListenerQuit);
    platform::SetEvent(event);
    listener.join();
    platform::SetNotifyWindow(platform::kNoWindow);
    platform::CloseEvent(event);
}
BENCHMARK(BM_ListenerBurst)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
