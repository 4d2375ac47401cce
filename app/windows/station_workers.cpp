#include "app/windows/station_workers.h"

#include "listener/broadcast_listener.h"
#include "upgrade/pass_peers.h"
#include "upgrade/upgrader_thread.h"

#include <algorithm>
#include <atomic>

namespace {

template <size_t N, size_t M> void CopyText(char16_t (&to)[N], const char16_t (&from)[M]) {
    constexpr size_t kUnits = std::min(N, M) - 1;
    size_t n = 0;
    while (n < kUnits && from[n] != 0) {
        to[n] = from[n];
        ++n;
    }
    std::fill(to + n, to + N, u'\0');
}

} // namespace

StationWorkers& StationWorkers::Instance() {
    // Deliberately never destroyed (see the header).
    static StationWorkers* const workers = new StationWorkers();
    return *workers;
}

StationWorkers::StationWorkers() : table_(TheDeviceTable()) {}

bool StationWorkers::StartListener(ThreadContext& context) {
    if (listener_.joinable()) {
        return false;
    }
    listener_ = StartBroadcastListener(context);
    return listener_.joinable();
}

bool StationWorkers::StartUpgrader(ThreadContext& context) {
    if (upgrader_.joinable()) {
        return false;
    }
    upgrader_ =
        StartUpgraderThread(PassWork{&context, &table_, &settings_, &TheNetworkPassPeers()});
    return upgrader_.joinable();
}

void StationWorkers::Collect(const ThreadContext& context) {
    const auto collect = [this](std::thread& thread, uint32_t id) {
        if (!thread.joinable()) {
            return;
        }
        if (id == 0) {
            thread.join(); // it has cleared its slot and is returning
        } else {
            thread.detach();
            outlived_ = true;
        }
    };
    collect(listener_, context.listenerThreadId.load());
    collect(upgrader_, context.upgraderThreadId.load());
}

namespace {
std::atomic<platform::EventHandle> updaterEvent{nullptr};
} // namespace

platform::EventHandle UpdaterEvent() {
    return updaterEvent.load();
}

void SetUpdaterEvent(platform::EventHandle event) {
    updaterEvent.store(event);
}

PassSettings PassSettingsFromConfig(const ConfigValues& config) {
    PassSettings settings{};
    settings.method = config.upgmethod;
    settings.option = config.upgoption;
    CopyText(settings.tftpServer, config.upgradetftp);
    CopyText(settings.file, config.upgradefile);
    CopyText(settings.bootloaderFile, config.upgradeblfile);
    CopyText(settings.url, config.upgradeurl);
    CopyText(settings.bootloaderUrl, config.upgradeblurl);
    return settings;
}
