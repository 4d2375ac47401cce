#include "request/device_commands.h"

#include "config/address_text.h"
#include "protocol/comptalk.h"
#include "protocol/comptalk_fast.h"
#include "protocol/log.h"
#include "protocol/packet.h"
#include "request/reply.h"
#include "request/request_text.h"

#include <cstring>
#include <string_view>

namespace {

constexpr uint16_t kTagDeviceType = 1;
constexpr uint16_t kTagMac = 2;
constexpr uint16_t kTagAddress = 3;
constexpr uint16_t kTagGroupKey = 14;
constexpr uint16_t kTagMarker = 15;
constexpr uint16_t kTagGroupName = 23;
constexpr uint16_t kTagAttributesFirst = 15;
constexpr uint16_t kTagAttributesSecond = 25;
constexpr int kPrefixItems = 4;
constexpr uint16_t kMarkerMask = 0x3800;
constexpr uint16_t kMarkerProvider = 0x0800;
constexpr uint16_t kMetricsProviderPort = 23;
constexpr size_t kTextUnits = 32;

enum class AnswerForm {
    Ack,       // success when the answer is the one byte 0x55; status reply
    Item,      // one item of type 0 with the work item's tag and index
    Items,     // type 0x20: one answer item; type 0x30: the answer's own items
    ItemOrAck, // SendCmd: an answer item for tags 14 and 15, otherwise Ack
};

enum class WorkItem { Fourth, MarkerOrFourth, Seventh };

struct SessionCommand {
    const char* logName;
    uint8_t unitCommand;
    bool subFromTag;  // sub-command = low byte of the work item's tag, else 0
    bool encodedBody; // the work item as encoded in the request, else its value
    WorkItem work;
    AnswerForm answer;
    bool zeroCodeOnFailure;
    const char16_t* typeText; // a text of its own for a refused device type, or null
};

constexpr char16_t kSendCmdTypeText[] = u"caseSendCmd: Invalid device type=0x%x\n";
constexpr char16_t kSSendCmdTypeText[] = u"caseSSendCmd: Invalid device type=0x%x\n";

constexpr SessionCommand kSetFields{"caseSetFields", 11,    false,  true, WorkItem::Fourth,
                                    AnswerForm::Ack, false, nullptr};
constexpr SessionCommand kQryFields{"caseQryFields",   12,   false,  true, WorkItem::Fourth,
                                    AnswerForm::Items, true, nullptr};
constexpr SessionCommand kSetConfig{"caseSetConfig", 9,     true,   false, WorkItem::Fourth,
                                    AnswerForm::Ack, false, nullptr};
constexpr SessionCommand kSetConfig15{"caseSetConfig", 15,    true,   false, WorkItem::Fourth,
                                      AnswerForm::Ack, false, nullptr};
constexpr SessionCommand kQryConfig{"caseQryConfig",  10,    true,   false, WorkItem::Fourth,
                                    AnswerForm::Item, false, nullptr};
constexpr SessionCommand kSetState{"caseSetState",  7,     true,   false, WorkItem::MarkerOrFourth,
                                   AnswerForm::Ack, false, nullptr};
constexpr SessionCommand kSetState14{
    "caseSetState", 14, true, false, WorkItem::MarkerOrFourth, AnswerForm::Ack, false, nullptr};
constexpr SessionCommand kQryState{"caseQryState",   8,     true,   false, WorkItem::MarkerOrFourth,
                                   AnswerForm::Item, false, nullptr};
constexpr SessionCommand kSendCmd{
    "caseSendCmd",   0x20, true, false, WorkItem::Fourth, AnswerForm::ItemOrAck, false,
    kSendCmdTypeText};
constexpr SessionCommand kSendCmd21{
    "caseSendCmd", 0x21, true, false, WorkItem::Fourth, AnswerForm::Ack, false, kSendCmdTypeText};
constexpr SessionCommand kSSendCmd{
    "caseSSendCmd",   0x21, true, false, WorkItem::Seventh, AnswerForm::Ack, false,
    kSSendCmdTypeText};
constexpr SessionCommand kGetMetrics{
    "caseGetMetrics", 5, true, false, WorkItem::MarkerOrFourth, AnswerForm::Items, true, nullptr};

uint16_t Command(const ThreadContext& context) {
    return context.request.command;
}

bool HasPrefix(const UnpackedRequest& request) {
    return request.count >= kPrefixItems && request.items[0].tag == kTagRoute &&
           request.items[1].tag == kTagDeviceType && request.items[2].tag == kTagMac &&
           request.items[3].tag == kTagAddress;
}

// A zero-terminated copy of a UTF-16LE item value, at most 31 units.
void ItemText(const UnpackedRequest& request, int i, char16_t (&text)[kTextUnits]) {
    std::memset(text, 0, sizeof text);
    const uint8_t* value = request.Value(i);
    const size_t units = request.items[i].length / 2;
    for (size_t k = 0; k < units && k < kTextUnits - 1; ++k) {
        const char16_t unit = static_cast<char16_t>(value[2 * k] | (value[2 * k + 1] << 8));
        if (unit == u'\0') {
            break;
        }
        text[k] = unit;
    }
}

std::u16string_view NameView(const char16_t (&text)[kTextUnits]) {
    return std::u16string_view(text, kTextUnits);
}

// What every session command takes from the request and the context.
struct Target {
    uint8_t flags = 0;
    uint8_t unitMac[6] = {};
    char host[kNarrowHostSize] = {};
    uint16_t port = 0;
    char16_t groupName[kTextUnits] = {};
    char16_t groupKey[kTextUnits] = {};
};

Target TargetOf(const ThreadContext& context, const UnpackedRequest& request) {
    Target target;
    const uint8_t deviceType = request.items[1].length > 0 ? request.Value(1)[0] : 0;
    target.flags = static_cast<uint8_t>(deviceType | (context.cipherMode & kCipherModeMask));
    char16_t macText[kTextUnits];
    ItemText(request, 2, macText);
    TextToMac(macText, target.unitMac);
    NarrowHostText(request.Value(3), request.items[3].length, target.host);
    target.port = context.unitSessionPort;
    std::memcpy(target.groupName, context.groupName, sizeof target.groupName);
    std::memcpy(target.groupKey, context.groupKey, sizeof target.groupKey);
    target.groupName[kTextUnits - 1] = u'\0';
    target.groupKey[kTextUnits - 1] = u'\0';
    return target;
}

bool TypeAccepted(uint8_t flags) {
    const uint8_t type = flags & kTypeMask;
    return type == kTypeUnit || type == kTypeSecondKind;
}

void LogBadType(const SessionCommand& command, uint8_t flags) {
    if (command.typeText) {
        LogMessage(kLogError, command.typeText, flags & kTypeMask);
    } else {
        LogMessage(kLogError, u"%S: Invalid device type\n", command.logName);
    }
}

// The work item encoded as in the request: its 6-byte header and value.
size_t EncodeItem(const UnpackedRequest& request, int i, uint8_t* out, size_t room) {
    const RequestItem& item = request.items[i];
    if (room < kParamItemHeader + size_t{item.length}) {
        return 0;
    }
    out[0] = static_cast<uint8_t>((item.type << 6) | ((item.tag >> 8) & 0x3F));
    out[1] = static_cast<uint8_t>(item.tag & 0xFF);
    out[2] = static_cast<uint8_t>(item.length >> 8);
    out[3] = static_cast<uint8_t>(item.length & 0xFF);
    out[4] = static_cast<uint8_t>(item.index >> 8);
    out[5] = static_cast<uint8_t>(item.index & 0xFF);
    std::memcpy(out + kParamItemHeader, request.Value(i), item.length);
    return kParamItemHeader + size_t{item.length};
}

// The answer's bytes taken as reply items, unchanged.
bool ReplyRawItems(ProcRequest& frame, const uint8_t* bytes, size_t length, uint16_t code) {
    const int room = frame.replyCapacity - frame.replyOffset;
    if (!frame.replyBuffer || room < 0 || length > static_cast<size_t>(room)) {
        return false;
    }
    std::memcpy(frame.replyBuffer + frame.replyOffset, bytes, length);
    frame.replyCode = code;
    frame.replyLength = static_cast<uint16_t>(length);
    return true;
}

enum class Outcome { Refused, Answered };

// Opens the session (through the provider set when asked), makes the one exchange and
// closes it. Answered when the unit's answer is in `answer`.
Outcome RunSession(const SessionCommand& command, const ThreadContext& context,
                   const Target& target, bool provider, uint8_t providerFlags,
                   uint16_t providerPort, const char* providerHost, uint8_t sub,
                   const uint8_t* body, size_t bodyLength, uint8_t* answer, size_t* answerLength) {
    if (provider) {
        FstCompTalkSession* session = FstCompTalkOpen(
            providerFlags, providerHost, providerPort, target.unitMac, context.stationIp,
            context.stationMac, NameView(target.groupName), NameView(target.groupKey));
        if (!session) {
            LogMessage(kLogError, u"%S: Failed CompTalkOpen\n", command.logName);
            return Outcome::Refused;
        }
        const int result = FstCompTalkSend(session, command.unitCommand, sub, body, bodyLength,
                                           answer, answerLength);
        FstCompTalkClose(session);
        if (result != 0) {
            LogMessage(kLogError, u"%S: Failed CompTalkSend\n", command.logName);
            return Outcome::Refused;
        }
        return Outcome::Answered;
    }
    CompTalkSession* session =
        CompTalkOpen(target.flags, target.host, target.port, target.unitMac, context.stationIp,
                     context.stationMac, NameView(target.groupName), NameView(target.groupKey));
    if (!session) {
        LogMessage(kLogError, u"%S: Failed CompTalkOpen\n", command.logName);
        return Outcome::Refused;
    }
    const int result =
        CompTalkSend(session, command.unitCommand, sub, body, bodyLength, answer, answerLength);
    CompTalkClose(session);
    if (result != 0) {
        LogMessage(kLogError, u"%S: Failed CompTalkSend\n", command.logName);
        return Outcome::Refused;
    }
    return Outcome::Answered;
}

void RunSessionCommand(const SessionCommand& command, ThreadContext& context,
                       const UnpackedRequest& request) {
    ProcRequest& frame = context.request;
    const uint16_t code = Command(context);
    const uint16_t failureCode = command.zeroCodeOnFailure ? 0 : code;

    int work = 4;
    bool hasMarker = false;
    uint16_t marker = 0;
    bool prefixOk = HasPrefix(request) && request.count >= 5;
    if (prefixOk && command.work == WorkItem::MarkerOrFourth &&
        request.items[4].tag == kTagMarker) {
        hasMarker = true;
        marker = request.Number16(4);
        work = 5;
        prefixOk = request.count >= 6;
    } else if (prefixOk && command.work == WorkItem::Seventh) {
        work = 6;
        prefixOk = request.count >= 7 && request.items[4].tag == kTagGroupName &&
                   request.items[5].tag == kTagGroupKey;
    }
    if (!prefixOk) {
        ReplyStatus(frame, false, failureCode);
        return;
    }

    Target target = TargetOf(context, request);
    if (command.work == WorkItem::Seventh) {
        ItemText(request, 4, target.groupName);
        ItemText(request, 5, target.groupKey);
    }
    const RequestItem& item = request.items[work];
    const uint8_t sub = command.subFromTag ? static_cast<uint8_t>(item.tag & 0xFF) : 0;
    uint8_t encoded[kParamItemHeader + kValueStoreSize];
    const uint8_t* body = request.Value(work);
    size_t bodyLength = item.length;
    if (command.encodedBody) {
        bodyLength = EncodeItem(request, work, encoded, sizeof encoded);
        body = encoded;
    }

    const bool answerItem = command.answer == AnswerForm::Item ||
                            command.answer == AnswerForm::Items ||
                            (command.answer == AnswerForm::ItemOrAck &&
                             (item.tag == kTagGroupKey || item.tag == kTagMarker));

    if (!TypeAccepted(target.flags)) {
        LogBadType(command, target.flags);
        ReplyStatus(frame, false, failureCode);
        return;
    }

    const bool provider = hasMarker && (marker & kMarkerMask) == kMarkerProvider;
    char providerHost[kNarrowHostSize];
    std::memcpy(providerHost, target.host, sizeof providerHost);
    uint16_t providerPort = 0;
    if (provider) {
        SplitHostPort(providerHost, &providerPort);
        if (providerPort == 0) {
            if (command.answer == AnswerForm::Items) {
                providerPort = kMetricsProviderPort;
            } else {
                LogMessage(kLogError, u"%S: got invalid device IP port\n", command.logName);
            }
        }
    }

    uint8_t answer[kCompTalkReplyRoom];
    size_t answerLength = 0;
    if (RunSession(command, context, target, provider, static_cast<uint8_t>(marker & 7),
                   providerPort, providerHost, sub, body, bodyLength, answer,
                   &answerLength) != Outcome::Answered) {
        ReplyStatus(frame, false, failureCode);
        return;
    }

    if (!answerItem) {
        ReplyStatus(frame, answerLength == 1 && answer[0] == kStatusSuccess, code);
        return;
    }
    const bool sendCmdItem = command.answer == AnswerForm::ItemOrAck;
    if (!sendCmdItem && answerLength < 1) {
        LogMessage(kLogError, u"%S: bad response size\n", command.logName);
        ReplyStatus(frame, false, failureCode);
        return;
    }
    if (command.answer == AnswerForm::Items && (target.flags & kTypeMask) == kTypeSecondKind) {
        if (!ReplyRawItems(frame, answer, answerLength, code)) {
            ReplyStatus(frame, false, failureCode);
        }
        return;
    }
    ReplyWriter reply(frame);
    const uint16_t index = sendCmdItem ? 0 : item.index;
    if (!reply.Add(kValueBytes, item.tag, static_cast<uint16_t>(answerLength), index, answer)) {
        reply.Finish(failureCode);
        return;
    }
    reply.Finish(code);
}

void LogConnectionTexts(const Target& target, const ThreadContext& context) {
    const uint8_t* s = context.stationMac;
    const uint8_t* d = target.unitMac;
    LogMessage(kLogEntry, u"ipaddr[%S], port=%d, toloname[%s], toloPass[%s]\n", target.host,
               target.port, target.groupName, target.groupKey);
    LogMessage(kLogEntry, u"toloMAC=%x.%x.%x:%x:%x:%x, devMAC=%x.%x.%x:%x:%x:%x\n", s[0], s[1],
               s[2], s[3], s[4], s[5], d[0], d[1], d[2], d[3], d[4], d[5]);
}

} // namespace

void caseSetFields(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(kSetFields, context, request);
}

void caseQryFields(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(kQryFields, context, request);
}

void caseSetConfig(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(Command(context) == 39 ? kSetConfig15 : kSetConfig, context, request);
}

void caseQryConfig(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(kQryConfig, context, request);
}

void caseSetState(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(Command(context) == 40 ? kSetState14 : kSetState, context, request);
}

void caseQryState(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(kQryState, context, request);
}

void caseSendCmd(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(Command(context) == 41 ? kSendCmd21 : kSendCmd, context, request);
}

void caseSSendCmd(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(kSSendCmd, context, request);
}

void caseGetMetrics(ThreadContext& context, const UnpackedRequest& request) {
    RunSessionCommand(kGetMetrics, context, request);
}

// This station keeps no stored copy of a unit's configuration or fields to send.
void caseUpdateConfigFromDb(ThreadContext& context, const UnpackedRequest&) {
    ReplyStatus(context.request, false, Command(context));
}

void caseUpdateFieldsFromDb(ThreadContext& context, const UnpackedRequest&) {
    ReplyStatus(context.request, false, Command(context));
}

void caseTestDevConnection(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count != kPrefixItems || !HasPrefix(request)) {
        ReplyStatus(context.request, false, Command(context));
        return;
    }
    const Target target = TargetOf(context, request);
    bool opened = false;
    if (!TypeAccepted(target.flags)) {
        LogMessage(kLogError, u"caseTestDevConnection: Invalid device type\n");
    } else if (CompTalkSession* session = CompTalkOpen(
                   target.flags, target.host, target.port, target.unitMac, context.stationIp,
                   context.stationMac, NameView(target.groupName), NameView(target.groupKey))) {
        opened = true;
        CompTalkClose(session);
    } else {
        LogMessage(kLogError, u"caseTestDevConnection: Failed CompTalkOpen\n");
    }
    LogConnectionTexts(target, context);
    ReplyStatus(context.request, opened, Command(context));
}

void caseTestRemDevConnection(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count != kPrefixItems || !HasPrefix(request)) {
        ReplyStatus(context.request, false, Command(context));
        return;
    }
    Target target = TargetOf(context, request);
    // The address goes through its numeric form, so a host name cannot be used here.
    char16_t addressText[kTextUnits];
    ItemText(request, 3, addressText);
    uint8_t address[4] = {};
    TextToIp(addressText, address);
    char narrow[kNarrowIpSize];
    IpToNarrowText(address, narrow);
    std::memset(target.host, 0, sizeof target.host);
    std::memcpy(target.host, narrow, sizeof narrow);

    bool opened = false;
    if (!TypeAccepted(target.flags)) {
        LogMessage(kLogError, u"caseTestRemDevConnection: Invalid device type\n");
    } else if (request.Number32(0) == kRouteThisStation) {
        if (CompTalkSession* session = CompTalkOpen(
                target.flags, target.host, target.port, target.unitMac, context.stationIp,
                context.stationMac, NameView(target.groupName), NameView(target.groupKey))) {
            opened = true;
            CompTalkClose(session);
        } else {
            char16_t macText[kTextUnits];
            ItemText(request, 2, macText);
            char16_t stationIp[kIpTextUnits];
            char16_t stationMac[kMacTextUnits];
            IpToText(context.stationIp, stationIp);
            MacToText(context.stationMac, stationMac);
            LogMessage(kLogError, u"caseTestRemDevConnection: Failed CompTalkOpen\n");
            LogMessage(kLogError, u"caseTestRemDevConnection: Local device, ip=%S,port=%d,mac=%s\n",
                       target.host, target.port, macText);
            LogMessage(kLogError, u"caseTestRemDevConnection: tolo ip=%s,mac=%s,name=%s,pass=%s\n",
                       stationIp, stationMac, target.groupName, target.groupKey);
        }
    }
    // Another station's test is not offered: such a route gets the failure reply.
    LogConnectionTexts(target, context);
    ReplyStatus(context.request, opened, Command(context));
}

void caseGetPDUBaseAttributes(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count >= 2 && request.items[0].tag == kTagAttributesFirst &&
        request.items[1].tag == kTagAttributesSecond) {
        LogMessage(kLogError, u"caseGetPDUBaseAttributes: failed the basic Attributes\n");
    }
    ReplyStatus(context.request, false, 0);
}

void caseGetPDUAttributes(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count >= 2 && request.items[0].tag == kTagAttributesFirst &&
        request.items[1].tag == kTagAttributesSecond) {
        LogMessage(kLogError, u"caseGetPDUAttributes: failed the 3 raw Attribute tables\n");
    }
    ReplyStatus(context.request, false, 0);
}
