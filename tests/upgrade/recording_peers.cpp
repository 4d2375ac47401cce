#include "tests/upgrade/recording_peers.h"

#include <algorithm>
#include <cstring>

namespace upgradetest {

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text) {
        out.push_back(static_cast<char>(*text));
    }
    return out;
}

namespace {

std::string Ip(const uint8_t ip[4]) {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

bool Answer(const std::map<std::string, std::vector<uint8_t>>& answers, const std::string& key,
            uint32_t* room, uint8_t* answer) {
    auto it = answers.find(key);
    if (it == answers.end() || it->second.empty() || it->second.size() > *room) {
        return false;
    }
    std::memcpy(answer, it->second.data(), it->second.size());
    *room = static_cast<uint32_t>(it->second.size());
    return true;
}

} // namespace

std::vector<std::string> RecordingPeers::Calls() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
}

void RecordingPeers::Record(const std::string& call) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        calls_.push_back(call);
    }
    if (onCall) {
        onCall(call);
    }
}

void RecordingPeers::SetGroupInfo(const ThreadContext&, const uint8_t destination[4],
                                  const DeviceEntry& entry, uint8_t flags) {
    Record("setgroup " + Ip(destination) + " " + Ip(entry.ipAddress) + " flags " +
           std::to_string(flags));
}

void RecordingPeers::GetGroupInfo(const ThreadContext&, const uint8_t destination[4],
                                  const uint8_t*, uint8_t) {
    Record("getgroup " + Ip(destination));
}

bool RecordingPeers::TestConnection(uint8_t, const char16_t* mac, const char16_t* address) {
    Record("test " + Narrow(address) + " " + Narrow(mac));
    auto it = testResult.find(Narrow(address));
    return it == testResult.end() || it->second;
}

bool RecordingPeers::QueryState(uint8_t, const char16_t*, const char16_t* address,
                                uint32_t argument, uint16_t tag, uint32_t* room, uint8_t* answer) {
    const std::string key =
        Narrow(address) + "/" + std::to_string(tag) + "/" + std::to_string(argument);
    Record("state " + key + " room " + std::to_string(*room));
    return Answer(stateAnswers, key, room, answer);
}

bool RecordingPeers::QueryConfig(uint8_t, const char16_t*, const char16_t* address,
                                 uint32_t argument, uint32_t* room, uint8_t* answer) {
    const std::string key = Narrow(address) + "/" + std::to_string(argument);
    Record("config " + key);
    return Answer(configAnswers, key, room, answer);
}

bool RecordingPeers::SendCommand(uint8_t, const char16_t*, const char16_t* address, uint32_t length,
                                 const uint8_t* data) {
    std::string hex;
    char pair[4];
    for (uint32_t i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", data[i]);
        hex += pair;
    }
    Record("send " + Narrow(address) + " " + hex);
    return sendResult;
}

bool RecordingPeers::SecureSendCommand(uint8_t, const char16_t*, const char16_t* address,
                                       const char16_t* groupName, const char16_t* groupKey,
                                       uint32_t length, const uint8_t* data) {
    std::string text(reinterpret_cast<const char*>(data), length);
    Record("ssend " + Narrow(address) + " " + Narrow(groupName) + "/" + Narrow(groupKey) + " [" +
           std::string(text.c_str()) + "] " + std::to_string(length));
    return sendResult;
}

void RecordingPeers::PhaseWait(const ThreadContext&, uint32_t milliseconds) {
    Record("wait " + std::to_string(milliseconds));
}

NoticeWindow::NoticeWindow() {
    platform::SetNotifyWindow(window_.handle());
}

NoticeWindow::~NoticeWindow() {
    if (platform::GetNotifyWindow() == window_.handle()) {
        platform::SetNotifyWindow(platform::kNoWindow);
    }
}

bool NoticeWindow::Next(Notice& notice, uint32_t timeoutMs) {
    platform::Message message;
    if (!window_.TakeMessage(message, timeoutMs)) {
        return false;
    }
    notice.code = static_cast<uint32_t>(message.wParam);
    notice.value = message.lParam;
    notice.record = message.record.Take<DeviceEntry>();
    return true;
}

std::vector<Notice> NoticeWindow::Drain(uint32_t timeoutMs) {
    std::vector<Notice> notices;
    Notice notice;
    while (Next(notice, timeoutMs)) {
        notices.push_back(notice);
    }
    return notices;
}

std::string Describe(const Notice& notice) {
    if (notice.record) {
        return std::to_string(notice.code) + ":" + Narrow(DeviceStatusText(notice.record->status));
    }
    return std::to_string(notice.code) + ":" + std::to_string(notice.value);
}

std::vector<std::string> Describe(const std::vector<Notice>& notices) {
    std::vector<std::string> out;
    for (const Notice& n : notices) {
        out.push_back(Describe(n));
    }
    return out;
}

void SetText(char16_t* field, size_t units, const std::u16string& text) {
    std::fill(field, field + units, u'\0');
    std::copy_n(text.begin(), std::min(text.size(), units - 1), field);
}

DeviceEntry Unit(uint8_t last, uint8_t status, uint8_t selection) {
    DeviceEntry e{};
    const uint8_t mac[6] = {2, 0, 0, 0, 0, last};
    std::memcpy(e.macAddress, mac, 6);
    const uint8_t ip[4] = {127, 0, 0, last};
    std::memcpy(e.ipAddress, ip, 4);
    e.status = status;
    e.selection = selection;
    e.swVersion = VersionTriple{3, 18, 4};
    SetText(e.deviceName, u"unit" + std::u16string(1, static_cast<char16_t>(u'0' + last % 10)));
    return e;
}

} // namespace upgradetest
