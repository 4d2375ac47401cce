// A PassPeers that answers from a script and records what the pass asked, for the pass
// logic without a network; and a notice collector over a MessageQueueWindow.
#pragma once

#include "app/device_table.h"
#include "platform/message_queue_window.h"
#include "upgrade/pass_peers.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace upgradetest {

std::string Narrow(const char16_t* text);

class RecordingPeers : public PassPeers {
  public:
    // Answers, by the unit's address text.
    std::map<std::string, bool> testResult;                    // default true
    std::map<std::string, std::vector<uint8_t>> stateAnswers;  // key "address/tag/argument"
    std::map<std::string, std::vector<uint8_t>> configAnswers; // key "address/argument"
    bool sendResult = true;
    // Called after each recorded call, with the call's text.
    std::function<void(const std::string&)> onCall;

    std::vector<std::string> Calls() const;

    void SetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                      const DeviceEntry& entry, uint8_t flags) override;
    void GetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                      const uint8_t mac[6], uint8_t flags) override;
    bool TestConnection(uint8_t flags, const char16_t* mac, const char16_t* address) override;
    bool QueryState(uint8_t flags, const char16_t* mac, const char16_t* address, uint32_t argument,
                    uint16_t tag, uint32_t* room, uint8_t* answer) override;
    bool QueryConfig(uint8_t flags, const char16_t* mac, const char16_t* address, uint32_t argument,
                     uint32_t* room, uint8_t* answer) override;
    bool SendCommand(uint8_t flags, const char16_t* mac, const char16_t* address, uint32_t length,
                     const uint8_t* data) override;
    bool SecureSendCommand(uint8_t flags, const char16_t* mac, const char16_t* address,
                           const char16_t* groupName, const char16_t* groupKey, uint32_t length,
                           const uint8_t* data) override;
    void PhaseWait(const ThreadContext& context, uint32_t milliseconds) override;

  private:
    void Record(const std::string& call);
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

struct Notice {
    uint32_t code;
    intptr_t value; // the number, when there is no record
    std::shared_ptr<DeviceEntry> record;
};

// Registers itself as NotifyWindow while it lives.
class NoticeWindow {
  public:
    NoticeWindow();
    ~NoticeWindow();
    // Every message that arrives within `timeoutMs` of the previous one.
    std::vector<Notice> Drain(uint32_t timeoutMs = 0);
    // The next message, or false after `timeoutMs`.
    bool Next(Notice& notice, uint32_t timeoutMs);
    platform::MessageQueueWindow& Window() { return window_; }

  private:
    platform::MessageQueueWindow window_;
};

// "code:value" for numbers, "code:<status>" for records (status text of the record).
std::string Describe(const Notice& notice);
std::vector<std::string> Describe(const std::vector<Notice>& notices);

// A Present entry at 127.0.0.<last> with MAC 02:00:00:00:00:<last>.
DeviceEntry Unit(uint8_t last, uint8_t status, uint8_t selection = kShownSelected);
void SetText(char16_t* field, size_t units, const std::u16string& text);
template <size_t N> void SetText(char16_t (&field)[N], const std::u16string& text) {
    SetText(field, N, text);
}

} // namespace upgradetest
