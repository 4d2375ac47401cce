#include "request/device_client.h"

#include "request/param_list.h"
#include "request/proc_api.h"

#include <cstring>

namespace {

constexpr uint16_t kTagDeviceType = 1;
constexpr uint16_t kTagMac = 2;
constexpr uint16_t kTagAddress = 3;
constexpr uint16_t kTagGroupKey = 14;
constexpr uint16_t kTagSecondariesData = 16;
constexpr uint16_t kTagCommandText = 13;
constexpr uint16_t kTagConfigName = 17;
constexpr uint16_t kTagGroupName = 23;
constexpr uint16_t kCommandQryConfig = 9;
constexpr uint16_t kCommandQryState = 11;
constexpr uint16_t kCommandTestRemDev = 33;
constexpr uint16_t kCommandSendCmd = 41;
constexpr uint16_t kCommandSSendCmd = 42;
constexpr int kStateRoom = 4128;
constexpr int kConfigRoom = 1024;
constexpr uint32_t kNoArgument = 0xFFFFFFFFu;
// Longest text an item carries here, zero unit included.
constexpr size_t kTextUnits = 64;

// Frees the exchange on every path out of a client operation.
class Exchange {
  public:
    Exchange() : exchange_(ProcExchangeCreate()) {}
    ~Exchange() {
        if (exchange_) {
            ProcExchangeFree(exchange_);
        }
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool Valid() const { return exchange_ != nullptr; }
    bool Add(uint8_t type, uint16_t tag, uint16_t length, const void* value) {
        return ProcExchangeAdd(exchange_, type, tag, length, 0, value) >= 0;
    }
    // A zero-terminated UTF-16 text as UTF-16LE bytes with its zero unit.
    bool AddText(uint16_t tag, const char16_t* text) {
        uint8_t bytes[2 * kTextUnits] = {};
        size_t units = 0;
        while (text && units < kTextUnits - 1 && text[units] != u'\0') {
            bytes[2 * units] = static_cast<uint8_t>(text[units] & 0xFF);
            bytes[2 * units + 1] = static_cast<uint8_t>(text[units] >> 8);
            ++units;
        }
        return Add(kValueBytes, tag, static_cast<uint16_t>(2 * (units + 1)), bytes);
    }
    bool AddPrefix(uint8_t flags, const char16_t* macText, const char16_t* addressText) {
        const uint32_t route = kRouteThisStation;
        return Add(kValueUint32, kTagRoute, 4, &route) &&
               Add(kValueByte, kTagDeviceType, 1, &flags) && AddText(kTagMac, macText) &&
               AddText(kTagAddress, addressText);
    }
    // Runs the request; true when it ran and the reply code is `command`.
    bool Call(uint16_t command) {
        uint16_t replyCode = 0;
        return ProcExchangeCall(exchange_, command, &replyCode) >= 0 && replyCode == command;
    }
    int Get(uint8_t* type, uint16_t* tag, int* length, void* destination) {
        return ProcExchangeGet(exchange_, type, tag, length, nullptr, destination);
    }
    // The first reply item is the status 0x55.
    bool StatusSucceeded() {
        uint8_t type = 0;
        uint16_t tag = 0;
        int length = 1;
        uint8_t status = 0;
        return Get(&type, &tag, &length, &status) >= 0 && type == kValueByte && tag == kTagStatus &&
               length == 1 && status == kStatusSuccess;
    }

  private:
    ProcExchange* exchange_;
};

bool Query(uint16_t command, uint8_t flags, const char16_t* macText, const char16_t* addressText,
           uint32_t argument, uint16_t tag, int itemRoom, int* room, void* destination) {
    Exchange exchange;
    if (!exchange.Valid() || !exchange.AddPrefix(flags, macText, addressText)) {
        return false;
    }
    const uint8_t value[4] = {static_cast<uint8_t>(argument >> 24),
                              static_cast<uint8_t>(argument >> 16),
                              static_cast<uint8_t>(argument >> 8), static_cast<uint8_t>(argument)};
    const uint16_t length = argument == kNoArgument ? 0 : sizeof value;
    if (!exchange.Add(kValueBytes, tag, length, value) || !exchange.Call(command)) {
        return false;
    }
    uint8_t answer[kStateRoom];
    uint16_t answerTag = 0;
    int answerLength = itemRoom;
    if (exchange.Get(nullptr, &answerTag, &answerLength, answer) < 0 || answerTag != tag ||
        answerLength <= 0 || !room || !destination || *room < answerLength) {
        return false;
    }
    std::memcpy(destination, answer, static_cast<size_t>(answerLength));
    *room = answerLength;
    return true;
}

// Four zero bytes, then the command data.
bool CommandValue(size_t dataLength, const uint8_t* data, uint8_t* value, uint16_t* length) {
    if (dataLength > kMaxCommandData || (dataLength > 0 && !data)) {
        return false;
    }
    std::memset(value, 0, 4);
    if (dataLength > 0) {
        std::memcpy(value + 4, data, dataLength);
    }
    *length = static_cast<uint16_t>(4 + dataLength);
    return true;
}

} // namespace

bool ProcTestRemDevConnection(uint8_t flags, const char16_t* macText, const char16_t* addressText) {
    Exchange exchange;
    return exchange.Valid() && exchange.AddPrefix(flags, macText, addressText) &&
           exchange.Call(kCommandTestRemDev) && exchange.StatusSucceeded();
}

bool ProcQryState(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                  uint32_t argument, uint16_t stateTag, int* room, void* destination) {
    return Query(kCommandQryState, flags, macText, addressText, argument, stateTag, kStateRoom,
                 room, destination);
}

bool ProcQryConfig(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                   uint32_t argument, int* room, void* destination) {
    return Query(kCommandQryConfig, flags, macText, addressText, argument, kTagConfigName,
                 kConfigRoom, room, destination);
}

bool ProcSendCmd(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                 size_t dataLength, const uint8_t* data) {
    uint8_t value[4 + kMaxCommandData];
    uint16_t length = 0;
    if (!CommandValue(dataLength, data, value, &length)) {
        return false;
    }
    Exchange exchange;
    return exchange.Valid() && exchange.AddPrefix(flags, macText, addressText) &&
           exchange.Add(kValueBytes, kTagSecondariesData, length, value) &&
           exchange.Call(kCommandSendCmd) && exchange.StatusSucceeded();
}

bool ProcSSendCmd(uint8_t flags, const char16_t* macText, const char16_t* addressText,
                  const char16_t* groupName, const char16_t* groupKey, size_t dataLength,
                  const uint8_t* data) {
    uint8_t value[4 + kMaxCommandData];
    uint16_t length = 0;
    if (!data || dataLength == 0 || !CommandValue(dataLength, data, value, &length)) {
        return false;
    }
    Exchange exchange;
    return exchange.Valid() && exchange.AddPrefix(flags, macText, addressText) &&
           exchange.AddText(kTagGroupName, groupName) && exchange.AddText(kTagGroupKey, groupKey) &&
           exchange.Add(kValueBytes, kTagCommandText, length, value) &&
           exchange.Call(kCommandSSendCmd) && exchange.StatusSucceeded();
}
