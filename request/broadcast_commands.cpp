// Each handler reads its items by position, takes the defaults from its private copy of
// the thread context, sends only when the request is routed to this station, and answers
// with a status reply. A success status means the datagrams were handed to the network.
#include "request/broadcast_commands.h"

#include "protocol/broadcast.h"
#include "protocol/log.h"
#include "protocol/packet.h"
#include "request/reply.h"
#include "request/request_items.h"
#include "request/request_text.h"

#include <cstring>

namespace {

constexpr uint16_t kTagDeviceName = 10;
constexpr uint16_t kTagGroupSettings = 12;
constexpr uint16_t kTagNetOptions = 5;
constexpr uint16_t kTagMaskText = 7;
constexpr uint16_t kTagGatewayText = 8;
constexpr uint16_t kTagDnsText = 9;
constexpr uint16_t kTagPort = 6;

constexpr uint8_t kEveryAddress[4] = {255, 255, 255, 255};
constexpr char16_t kEmptyName[kNameUnits] = {};

// The fields every command here takes from the context copy.
struct Station {
    uint16_t port;
    uint8_t address[4];
    char16_t groupName[kNameUnits];

    explicit Station(const ThreadContext& context) : port(context.broadcastPort) {
        std::memcpy(address, context.stationIp, sizeof address);
        CopyName32(groupName, context.groupName);
    }
};

void Finish(ThreadContext& context, bool success) {
    ReplyStatus(context.request, success, context.request.command);
}

uint32_t ToNumber(const uint8_t (&address)[4]) {
    return (uint32_t{address[0]} << 24) | (uint32_t{address[1]} << 16) |
           (uint32_t{address[2]} << 8) | address[3];
}

// The next address, the last octet first, carrying into the octet before it.
void NextAddress(uint8_t (&address)[4]) {
    for (int i = 3; i >= 0; --i) {
        if (++address[i] != 0) {
            return;
        }
    }
}

void LogMac(const char16_t* format, const uint8_t (&address)[4], const uint8_t (&mac)[6]) {
    LogMessage(kLogParams, format, address[0], address[1], address[2], address[3], mac[0], mac[1],
               mac[2], mac[3], mac[4], mac[5]);
}

void LogStation(const char16_t* format, const Station& station, uint8_t flags, const char16_t* name,
                const uint8_t (&address)[4]) {
    LogMessage(kLogParams, format, station.port, flags, name, address[0], address[1], address[2],
               address[3]);
}

} // namespace

bool ActionBodyFits(uint8_t flags, size_t bodyLength) {
    const size_t plain = 2 + bodyLength; // command and sub-command bytes, then the body
    const size_t packet = (flags & kCipherModeMask) == kCipherPlain
                              ? kPacketHeaderSize + plain
                              : kCipherPayloadOffset + 16 * ((plain + 15) / 16);
    return packet <= kBroadcastPacketRoom;
}

void caseQryDiscover(ThreadContext& context, const UnpackedRequest& request) {
    if (!TagsAre(request, {kTagRoute, kTagDeviceType})) {
        Finish(context, false);
        return;
    }
    uint8_t mac[6] = {};
    if (HasItem(request, 2, kTagMacText)) {
        ItemMac(request, 2, mac);
    }
    uint8_t start[4] = {255, 255, 255, 255};
    uint8_t end[4] = {255, 255, 255, 255};
    if (HasItem(request, 3, kTagAddressText)) {
        ItemIp(request, 3, start);
    }
    if (HasItem(request, 4, kTagAddressText)) {
        ItemIp(request, 4, end);
    }
    uint32_t count = 1;
    if (request.count == 4) {
        std::memcpy(end, start, sizeof end);
    } else if (request.count == 5) {
        if (ToNumber(end) < ToNumber(start)) {
            std::memcpy(end, start, sizeof end);
        }
        count = ToNumber(end) - ToNumber(start) + 1;
    }
    if (!RoutedHere(request)) {
        Finish(context, false);
        return;
    }

    const Station station(context);
    const uint8_t flags = RequestFlags(context, request);
    LogStation(u"case_QryDiscover: SendBroadcastToloQuery, port=%d, devtype=0x%2.2x, "
               u"toloname=%s, toloIP=%d.%d.%d.%d\n",
               station, flags, station.groupName, station.address);
    LogMessage(kLogParams,
               u"case_QryDiscover: SendBroadcastToloQuery, sIP=%d.%d.%d.%d, eIP=%d.%d.%d.%d, "
               u"macaddr=%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x\n",
               start[0], start[1], start[2], start[3], end[0], end[1], end[2], end[3], mac[0],
               mac[1], mac[2], mac[3], mac[4], mac[5]);

    bool success = true;
    uint8_t current[4];
    std::memcpy(current, start, sizeof current);
    for (;;) {
        if (SendBroadcastToloQuery(station.port, station.address, current, mac, station.groupName,
                                   flags) != 0) {
            LogMessage(kLogError, u"case_QryDiscover: Failed SendBroadcastToloQuery\n");
            success = false;
            break;
        }
        if (std::memcmp(current, end, sizeof current) == 0) {
            break;
        }
        NextAddress(current);
        if (--count == 0) {
            break;
        }
    }
    Finish(context, success);
}

void caseGetGroupInfo(ThreadContext& context, const UnpackedRequest& request) {
    if (!TagsAre(request, {kTagRoute, kTagDeviceType, kTagMacText})) {
        Finish(context, false);
        return;
    }
    uint8_t mac[6];
    ItemMac(request, 2, mac);
    uint8_t destination[4];
    std::memcpy(destination, kEveryAddress, sizeof destination);
    if (HasItem(request, 3, kTagAddressText)) {
        ItemIp(request, 3, destination);
    }
    bool success = false;
    if (RoutedHere(request)) {
        const Station station(context);
        const uint8_t flags = RequestFlags(context, request);
        LogStation(u"case_GetGroupInfo: SendBroadcastGetGroupInfo, port=%d, devtype=0x%2.2x, "
                   u"toloname=%s, toloIP=%d.%d.%d.%d\n",
                   station, flags, station.groupName, station.address);
        LogMac(u"case_GetGroupInfo: SendBroadcastGetGroupInfo, devIP=%d.%d.%d.%d, "
               u"macaddr=%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x\n",
               destination, mac);
        success = SendBroadcastGetGroupInfo(station.port, station.address, destination, mac,
                                            station.groupName, flags) == 0;
    }
    Finish(context, success);
}

void case_GetNetInfo(ThreadContext& context, const UnpackedRequest& request) {
    if (!TagsAre(request, {kTagRoute, kTagDeviceType, kTagMacText})) {
        Finish(context, false);
        return;
    }
    uint8_t mac[6];
    ItemMac(request, 2, mac);
    uint8_t destination[4];
    std::memcpy(destination, kEveryAddress, sizeof destination);
    if (HasItem(request, 3, kTagAddressText)) {
        ItemIp(request, 3, destination);
    }
    bool success = false;
    if (RoutedHere(request)) {
        const Station station(context);
        const uint8_t flags = RequestFlags(context, request);
        LogStation(u"case_GetNetInfo: SendBroadcastGetNetInfo, port=%d, devtype=0x%2.2x, "
                   u"toloname=%s, toloIP=%d.%d.%d.%d\n",
                   station, flags, station.groupName, station.address);
        LogMac(u"case_GetNetInfo: SendBroadcastGetNetInfo, devIP=%d.%d.%d.%d, "
               u"macaddr=%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x\n",
               destination, mac);
        success = SendBroadcastGetNetInfo(station.port, station.address, destination, mac,
                                          station.groupName, flags) == 0;
    }
    Finish(context, success);
}

void caseSetGroupInfo(ThreadContext& context, const UnpackedRequest& request) {
    if (!TagsAre(request, {kTagRoute, kTagDeviceType, kTagMacText, kTagDeviceName})) {
        Finish(context, false);
        return;
    }
    uint8_t mac[6];
    ItemMac(request, 2, mac);
    char16_t text[kNameUnits];
    ItemText(request, 3, text, kNameUnits);
    char16_t deviceName[kNameUnits];
    CopyName32(deviceName, text);

    // What a group-settings item is meant to set is not settled: with one, the group name
    // and password go out empty and nothing of the item is sent.
    const bool groupItem = HasItem(request, 4, kTagGroupSettings) && request.items[4].length > 0;
    char16_t groupName[kNameUnits];
    char16_t password[kNameUnits];
    CopyName32(groupName, groupItem ? kEmptyName : context.groupName);
    CopyName32(password, groupItem ? kEmptyName : context.groupKey);
    uint8_t destination[4];
    std::memcpy(destination, kEveryAddress, sizeof destination);
    if (HasItem(request, 5, kTagAddressText)) {
        ItemIp(request, 5, destination);
    }

    bool success = false;
    if (RoutedHere(request)) {
        const Station station(context);
        const uint8_t flags = RequestFlags(context, request);
        LogStation(u"case_SetGroupInfo: SendBroadcastSetGroupInfo, port=%d, devtype=0x%2.2x, "
                   u"group=%s, toloIP=%d.%d.%d.%d\n",
                   station, flags, groupName, station.address);
        LogMac(u"case_SetGroupInfo: SendBroadcastSetGroupInfo, destIP=%d.%d.%d.%d, "
               u"macaddr=%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x\n",
               destination, mac);
        LogMessage(kLogParams,
                   u"case_SetGroupInfo: SendBroadcastSetGroupInfo, devName=%s, password=%s\n",
                   deviceName, password);
        success = SendBroadcastSetGroupInfo(station.port, station.address, destination, mac,
                                            groupName, flags, deviceName, password) == 0;
    }
    Finish(context, success);
}

void caseSetNetInfo(ThreadContext& context, const UnpackedRequest& request) {
    if (!TagsAre(request, {kTagRoute, kTagDeviceType, kTagMacText, kTagNetOptions, kTagAddressText,
                           kTagMaskText, kTagGatewayText, kTagDnsText, kTagDnsText, kTagDnsText,
                           kTagAddressText, kTagPort, kTagPort})) {
        Finish(context, false);
        return;
    }
    uint8_t mac[6];
    ItemMac(request, 2, mac);
    const uint16_t netOptions = request.Number16(3);
    uint8_t unitAddress[4], mask[4], gateway[4], dns1[4], dns2[4], dns3[4];
    ItemIp(request, 4, unitAddress);
    ItemIp(request, 5, mask);
    ItemIp(request, 6, gateway);
    ItemIp(request, 7, dns1);
    ItemIp(request, 8, dns2);
    ItemIp(request, 9, dns3);

    char16_t stationText[kItemTextUnits];
    ItemText(request, 10, stationText, kItemTextUnits);
    uint8_t stationToSend[4];
    if (stationText[0] == 0) {
        std::memcpy(stationToSend, context.stationIp, sizeof stationToSend);
    } else {
        ItemIp(request, 10, stationToSend);
    }
    uint16_t unitPort = request.Number16(11);
    if (unitPort == 0) {
        unitPort = context.unitSessionPort;
    }
    uint16_t stationPort = request.Number16(12);
    if (stationPort == 0) {
        stationPort = context.managerPort;
    }
    uint8_t destination[4];
    std::memcpy(destination, kEveryAddress, sizeof destination);
    if (HasItem(request, 13, kTagAddressText)) {
        ItemIp(request, 13, destination);
    }

    bool success = false;
    if (RoutedHere(request)) {
        const Station station(context);
        const uint8_t flags = RequestFlags(context, request);
        LogStation(u"case_SetNetInfo: SendBroadcastSetNetInfo, port=%d, devtype=0x%2.2x, "
                   u"toloname=%s, toloIP=%d.%d.%d.%d\n",
                   station, flags, station.groupName, stationToSend);
        LogMac(u"case_SetNetInfo: SendBroadcastSetNetInfo, destIP=%d.%d.%d.%d, "
               u"macaddr=%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x\n",
               destination, mac);
        LogMessage(kLogParams,
                   u"case_SetNetInfo: SendBroadcastSetNetInfo, devIP=%d.%d.%d.%d, netopt=%d, "
                   u"devsconnlport=%d, toloconnlport=%d\n",
                   unitAddress[0], unitAddress[1], unitAddress[2], unitAddress[3], netOptions,
                   unitPort, stationPort);
        LogMessage(kLogParams,
                   u"case_SetNetInfo: SendBroadcastSetNetInfo, subnetmask=%d.%d.%d.%d, "
                   u"gateway=%d.%d.%d.%d\n",
                   mask[0], mask[1], mask[2], mask[3], gateway[0], gateway[1], gateway[2],
                   gateway[3]);
        LogMessage(kLogParams,
                   u"case_SetNetInfo: SendBroadcastSetNetInfo, dns1=%d.%d.%d.%d, "
                   u"dns2=%d.%d.%d.%d, dns3=%d.%d.%d.%d\n",
                   dns1[0], dns1[1], dns1[2], dns1[3], dns2[0], dns2[1], dns2[2], dns2[3], dns3[0],
                   dns3[1], dns3[2], dns3[3]);
        NetworkSettings settings{};
        settings.unitPort = unitPort;
        settings.stationPort = stationPort;
        settings.options = netOptions;
        std::memcpy(settings.unitIp, unitAddress, 4);
        std::memcpy(settings.mask, mask, 4);
        std::memcpy(settings.gateway, gateway, 4);
        std::memcpy(settings.dns1, dns1, 4);
        std::memcpy(settings.dns2, dns2, 4);
        std::memcpy(settings.dns3, dns3, 4);
        std::memcpy(settings.stationIp, stationToSend, 4);
        success = SendBroadcastSetNetInfo(station.port, station.address, destination, mac,
                                          station.groupName, flags, settings) == 0;
    }
    Finish(context, success);
}

void caseSendActions(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count < 5 ||
        !TagsAre(request, {kTagRoute, kTagDeviceType, kTagMacText, kTagAddressText})) {
        Finish(context, false);
        return;
    }
    uint8_t mac[6];
    ItemMac(request, 2, mac);
    uint8_t destination[4];
    ItemIp(request, 3, destination);
    const uint8_t flags = RequestFlags(context, request);
    const RequestItem& action = request.items[4];
    // A body that does not fit one packet is refused here rather than handed on.
    if (!RoutedHere(request) || !ActionBodyFits(flags, action.length)) {
        Finish(context, false);
        return;
    }
    const Station station(context);
    LogMessage(kLogParams,
               u"case_SendActions: SendTalkBroadcast, port=%d, devtype=0x%2.2x, "
               u"toloIP=%d.%d.%d.%d\n",
               station.port, flags, station.address[0], station.address[1], station.address[2],
               station.address[3]);
    LogMac(u"case_SendActions: SendTalkBroadcast, destIP=%d.%d.%d.%d, "
           u"macaddr=%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x\n",
           destination, mac);
    const int result =
        SendTalkBroadcast(station.port, station.address, destination, mac, flags,
                          static_cast<uint8_t>(action.tag & 0xFF), request.Value(4), action.length);
    Finish(context, result >= 0);
}
