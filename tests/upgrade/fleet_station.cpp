#include "tests/upgrade/fleet_station.h"

#include "listener/broadcast_listener.h"
#include "platform/named_event.h"
#include "protocol/broadcast.h"
#include "upgrade/notices.h"

#include <cstring>

namespace upgradetest {
namespace {

uint8_t Octet(uint32_t ip, int i) {
    return static_cast<uint8_t>(ip >> (24 - 8 * i));
}

// The value of "key": in a JSON line, as raw text (quotes removed for strings).
bool Field(const std::string& line, const std::string& key, std::string& value) {
    const std::string pattern = "\"" + key + "\":";
    size_t at = line.find(pattern);
    if (at == std::string::npos) {
        return false;
    }
    at += pattern.size();
    if (at < line.size() && line[at] == '"') {
        std::string out;
        for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
            }
            out.push_back(line[i]);
        }
        value = out;
        return true;
    }
    size_t end = line.find_first_of(",}", at);
    value = line.substr(at, end - at);
    return true;
}

} // namespace

FleetStation::FleetStation(const FleetSpec& spec)
    : spec_(spec), firstIp_(simtest::Ip(127, 20, static_cast<uint8_t>(spec.slot), 2)),
      broadcastPort_(static_cast<uint16_t>(23000 + 10 * spec.slot)),
      listenPort_(static_cast<uint16_t>(23001 + 10 * spec.slot)),
      sessionPort_(static_cast<uint16_t>(23002 + 10 * spec.slot)),
      table_(std::make_unique<DeviceTable>()), shared_(*table_) {
    logPath_ = simtest::TempDir() + "/units.jsonl";
    ThreadContext& context = TheThreadContext();
    ResetThreadContext(context);
    const std::u16string eventName = u"FleetListen";
    eventName.copy(context.listenEventName, kEventNameUnits - 1);
    std::u16string(u"Station").copy(context.groupName, kNameUnits - 1);
    std::u16string(u"stationpw").copy(context.groupKey, kNameUnits - 1);
    context.unitSessionPort = sessionPort_;
    context.managerPort = 2002;
    context.broadcastPort = broadcastPort_;
    context.listenPort = listenPort_;
    context.cipherMode = 1;
    context.searchFlags = kSearchByRange; // every request goes to one unit's own address
    const uint8_t stationIp[4] = {127, 0, 0, 1};
    std::memcpy(context.stationIp, stationIp, 4);
    const uint8_t mask[4] = {255, 0, 0, 0};
    std::memcpy(context.stationMask, mask, 4);

    listenEvent_ = platform::CreateNamedEvent(eventName, true, false);
    updaterEvent_ = platform::CreateNamedEvent(kUpdaterEventName, false, false);
    context.listenEvent = listenEvent_;
    platform::SetNotifyWindow(window_.handle());

    std::vector<std::string> args = {"--units",
                                     std::to_string(spec.units),
                                     "--first-ip",
                                     simtest::IpText(firstIp_),
                                     "--broadcast-port",
                                     std::to_string(broadcastPort_),
                                     "--station-port",
                                     std::to_string(listenPort_),
                                     "--session-port",
                                     std::to_string(sessionPort_),
                                     "--log",
                                     logPath_};
    args.insert(args.end(), spec.simArgs.begin(), spec.simArgs.end());
    if (!sim_.Start(args)) {
        return;
    }
    listener_ = StartBroadcastListener(context);
    upgrader_ =
        StartUpgraderThread(PassWork{&context, &shared_, &settings_, &TheNetworkPassPeers()});
    started_ = listener_.joinable() && upgrader_.joinable();
    // Replies that come before the listener's socket is bound would be lost.
    for (int i = 0; started_ && context.threadStates[1].load() != 1; ++i) {
        if (i == 500) {
            started_ = false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FleetStation::~FleetStation() {
    ThreadContext& context = TheThreadContext();
    if (upgrader_.joinable()) {
        SignalUpgraderJob(context, kJobQuit);
        upgrader_.join();
    }
    if (listener_.joinable()) {
        context.listenerFlags.fetch_or(kListenerQuit);
        platform::SetEvent(listenEvent_);
        listener_.join();
    }
    WaitForBroadcastWorkers(5000);
    platform::SetNotifyWindow(platform::kNoWindow);
    sim_.Stop();
    platform::CloseEvent(updaterEvent_);
    platform::CloseEvent(listenEvent_);
}

ThreadContext& FleetStation::Context() {
    return TheThreadContext();
}

std::string FleetStation::UnitIp(int k) const {
    return simtest::IpText(firstIp_ + static_cast<uint32_t>(k));
}

const DeviceEntry* FleetStation::Entry(int k) const {
    const uint32_t ip = firstIp_ + static_cast<uint32_t>(k);
    const DeviceTable& table = shared_.Table();
    for (int slot = 0; slot < table.count; ++slot) {
        const uint8_t* a = table.slots[slot].ipAddress;
        if (a[0] == Octet(ip, 0) && a[1] == Octet(ip, 1) && a[2] == Octet(ip, 2) &&
            a[3] == Octet(ip, 3)) {
            return &table.slots[slot];
        }
    }
    return nullptr;
}

void FleetStation::Merge(const Notice& notice) {
    if (!notice.record) {
        return;
    }
    const DeviceEntry& record = *notice.record;
    shared_.Write([&](DeviceTable& table) {
        switch (notice.code) {
        case 0:
            return MergeDiscoveryRecord(table, record, kDeviceTableSlots);
        case 1:
            return MergeGroupInfoRecord(table, record);
        case 2:
            return MergeResultRecord(table, record);
        case 5:
            return MergeSecondariesRecord(table, record);
        case 6:
            return MergeSecondaryStateRecord(table, record);
        default:
            return kNoSlot;
        }
    });
}

bool FleetStation::PlayOne(uint32_t timeoutMs, Notice& notice) {
    platform::Message message;
    if (!window_.TakeMessage(message, timeoutMs)) {
        return false;
    }
    notice.code = static_cast<uint32_t>(message.wParam);
    notice.value = message.lParam;
    notice.record = message.record.Take<DeviceEntry>();
    Merge(notice);
    return true;
}

bool FleetStation::Discover(int expected) {
    ThreadContext& context = TheThreadContext();
    for (int k = 0; k < spec_.units; ++k) {
        const uint32_t ip = firstIp_ + static_cast<uint32_t>(k);
        const uint8_t destination[4] = {Octet(ip, 0), Octet(ip, 1), Octet(ip, 2), Octet(ip, 3)};
        SendBroadcastToloQuery(broadcastPort_, context.stationIp, destination, context.stationMac,
                               context.groupName, PassFlagsByte(context));
    }
    return Play([&] { return shared_.Table().count >= expected; }, 10000, nullptr);
}

void FleetStation::SelectAll() {
    shared_.Write([](DeviceTable& table) {
        for (int slot = 0; slot < table.count; ++slot) {
            table.slots[slot].selection = kShownSelected;
        }
        return 0;
    });
}

std::vector<Notice> FleetStation::RunJob(uint8_t bit, uint32_t endCode, int timeoutMs) {
    std::vector<Notice> seen;
    SignalUpgraderJob(TheThreadContext(), bit);
    Play(
        [&] {
            return !seen.empty() && !seen.back().record && seen.back().code == endCode &&
                   seen.back().value == kPassEnded;
        },
        timeoutMs, &seen);
    return seen;
}

std::vector<SimRequest> UnitRequests(const std::string& logPath, const std::string& ip) {
    std::vector<SimRequest> out;
    for (const std::string& line :
         simtest::LinesWith(logPath, {"\"ip\":\"" + ip + "\"", "\"dir\":\"request\""})) {
        SimRequest request{};
        std::string value;
        if (Field(line, "ms", value)) {
            request.ms = std::stoll(value);
        }
        if (Field(line, "request", value)) {
            request.what = value;
        } else if (Field(line, "upgrade", value)) {
            request.what = "upgrade " + value;
        } else if (Field(line, "data", value)) {
            request.what = "secondaries " + value;
        } else if (Field(line, "command", value)) {
            std::string tag;
            if (value == "4") {
                request.what = "login";
            } else if (value == "3") {
                request.what = "logout";
            } else if (value == "8" && Field(line, "tag", tag)) {
                request.what = "query " + tag;
            } else if (value == "10" && Field(line, "tag", tag)) {
                request.what = "config " + tag;
            } else {
                request.what = "command " + value;
            }
        } else {
            continue;
        }
        out.push_back(request);
    }
    return out;
}

std::vector<std::string> UnitRequestNames(const std::string& logPath, const std::string& ip) {
    std::vector<std::string> names;
    for (const SimRequest& r : UnitRequests(logPath, ip)) {
        names.push_back(r.what);
    }
    return names;
}

} // namespace upgradetest
