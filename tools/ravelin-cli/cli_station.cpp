#include "tools/ravelin-cli/cli_station.h"

#include "listener/broadcast_listener.h"
#include "platform/window_message.h"
#include "request/discover_client.h"
#include "request/thread_context.h"
#include "upgrade/notices.h"
#include "upgrade/passes.h"
#include "upgrade/upgrader_thread.h"

#include <chrono>

namespace cli {
namespace {

constexpr char16_t kListenEventName[] = u"RavelinBroadListenEvent";

using Clock = std::chrono::steady_clock;

} // namespace

Station::Station() : table_(std::make_unique<DeviceTable>()), shared_(*table_) {}

Station::~Station() {
    ThreadContext& context = TheThreadContext();
    context.listenerFlags.fetch_or(kListenerQuit);
    JobFlagSet(context, kJobQuit);
    if (listenEvent_) {
        platform::SetEvent(listenEvent_);
    }
    if (updaterEvent_) {
        platform::SetEvent(updaterEvent_);
    }
    // A pass that runs is not interrupted by the quit bit: it ends first, and its
    // records are then dropped with this receiver.
    if (upgrader_.joinable()) {
        upgrader_.join();
    }
    if (listener_.joinable()) {
        listener_.join();
    }
    WaitForBroadcastWorkers(5000);
    if (platform::GetNotifyWindow() == window_.handle()) {
        platform::SetNotifyWindow(platform::kNoWindow);
    }
    if (listenEvent_) {
        platform::ResetEvent(listenEvent_);
        platform::CloseEvent(listenEvent_);
        context.listenEvent = nullptr;
    }
    if (updaterEvent_) {
        platform::CloseEvent(updaterEvent_);
    }
}

bool Station::Start(int maxListSize, std::string& error) {
    maxListSize_ = maxListSize;
    ThreadContext& context = TheThreadContext();
    std::u16string(kListenEventName).copy(context.listenEventName, kEventNameUnits - 1);
    listenEvent_ = platform::CreateNamedEvent(kListenEventName, true, false);
    updaterEvent_ = platform::CreateNamedEvent(kUpdaterEventName, false, false);
    if (!listenEvent_ || !updaterEvent_) {
        error = "could not create the station's events";
        return false;
    }
    context.listenEvent = listenEvent_;
    platform::SetNotifyWindow(window_.handle());

    listener_ = StartBroadcastListener(context);
    upgrader_ =
        StartUpgraderThread(PassWork{&context, &shared_, &settings_, &TheNetworkPassPeers()});
    if (!listener_.joinable() || !upgrader_.joinable()) {
        error = "could not start the station's threads";
        return false;
    }
    // Replies that come before the listener's socket is bound would be lost; the
    // listener reports 1 once it receives, 3 when its start-up failed.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        const uint8_t state = context.threadStates[1].load();
        if (state == 1) {
            return true;
        }
        if (state == 3 || Clock::now() > deadline) {
            error = "the listener could not open UDP port " + std::to_string(context.listenPort);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool Station::PlayOne(uint32_t timeoutMs, uint32_t* code, intptr_t* value) {
    platform::Message message;
    if (!window_.TakeMessage(message, timeoutMs)) {
        return false;
    }
    *code = static_cast<uint32_t>(message.wParam);
    *value = message.lParam;
    // The record is owned here from the moment it was posted; it is freed whether it
    // merges or not, also for a code this window does not handle.
    const std::unique_ptr<DeviceEntry> record = message.record.Take<DeviceEntry>();
    if (message.id != platform::WM_DEVICE_NOTIFY || !record) {
        return true;
    }
    const int slot = shared_.Write([&](DeviceTable& table) {
        switch (*code) {
        case 0:
            return MergeDiscoveryRecord(table, *record, maxListSize_);
        case 1:
            return MergeGroupInfoRecord(table, *record);
        case 2:
            return MergeResultRecord(table, *record);
        case 5:
            return MergeSecondariesRecord(table, *record);
        case 6:
            return MergeSecondaryStateRecord(table, *record);
        default:
            return kNoSlot;
        }
    });
    if (slot != kNoSlot) {
        ++merged_;
    }
    return true;
}

bool Station::Search(const std::u16string* start, const std::u16string* end) {
    shared_.Write([](DeviceTable& table) {
        EmptyTableForSearch(table);
        return 0;
    });
    const ThreadContext& context = TheThreadContext();
    const uint8_t flags = PassFlagsByte(context);
    if (!start) {
        return BroadcastQryDiscover(flags, nullptr, nullptr);
    }
    return BroadcastQryDiscover(flags, start->c_str(),
                                end && !end->empty() ? end->c_str() : nullptr);
}

void Station::Collect(double seconds, const std::function<bool(const DeviceTable&)>& enough) {
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    while (!(enough && enough(*table_))) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        uint32_t code = 0;
        intptr_t value = 0;
        PlayOne(static_cast<uint32_t>(std::min<long long>(left.count() + 1, 50)), &code, &value);
    }
}

void Station::RunJob(uint8_t bit, const ProgressSink& progress,
                     const std::atomic<bool>* interrupted) {
    uint32_t endCode = kNotifyTestEnded;
    switch (bit) {
    case kJobUpgradePass:
        endCode = kNotifyProgress;
        break;
    case kJobSecondariesRefresh:
        endCode = kNotifyRefreshProgress;
        break;
    case kJobSecondariesUpgrade:
        endCode = kNotifySecondaryProgress;
        break;
    default:
        break;
    }
    // The test pass reports its progress with code 4 too.
    const uint32_t progressCode = bit == kJobTestPass ? kNotifyProgress : endCode;
    ThreadContext& context = TheThreadContext();
    SignalUpgraderJob(context, bit);
    bool abortSent = false;
    for (;;) {
        if (interrupted && interrupted->load() && !abortSent) {
            SignalUpgraderJob(context, kJobAbort);
            abortSent = true;
        }
        uint32_t code = 0;
        intptr_t value = 0;
        if (!PlayOne(50, &code, &value)) {
            if (context.threadStates[0].load() == 3) {
                return; // the upgrader thread has ended: no end notice will come
            }
            continue;
        }
        if (code == endCode && value == kPassEnded) {
            return;
        }
        if (code == progressCode && value >= 0 && value <= 100 && progress) {
            progress(static_cast<int>(value));
        }
    }
}

} // namespace cli
