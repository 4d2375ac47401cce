// The broadcast side of every unit: discovery, group and network requests over UDP.
#include "tools/unit-sim/simulator.h"
#include "tools/unit-sim/unit_packet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace unitsim {
namespace {

// A reply larger than any receive buffer of the station: the most the envelope can hold.
constexpr size_t kOversizeBody = 2030;
constexpr size_t kPacketRoom = 2200;

uint32_t IpOf(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

std::string PeerText(uint32_t ip, uint16_t port) {
    return Ipv4Text(ip) + ":" + std::to_string(port);
}

std::string MacText(const uint8_t* mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

const char* RequestName(uint8_t sub) {
    switch (sub) {
    case kSubDiscover:
        return "discovery";
    case kSubGetNetInfo:
        return "net-info";
    case kSubSetNetInfo:
        return "set-network";
    case kSubSetGroupInfo:
        return "set-group";
    case kSubGetGroupInfo:
        return "group-info";
    default:
        return "action";
    }
}

} // namespace

void Simulator::ReadUnitSocket(uint32_t index) {
    Unit& unit = fleet_[index];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t got = recvfrom(unit.udpSocket, receiveBuffer_.data(), receiveBuffer_.size(),
                               MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            return;
        }
        if (static_cast<size_t>(got) > receiveBuffer_.size()) {
            continue;
        }
        Datagram d{receiveBuffer_.data(), static_cast<size_t>(got), ntohl(from.sin_addr.s_addr),
                   ntohs(from.sin_port)};
        HandleDatagram(unit, d);
    }
}

void Simulator::ReadSharedSocket() {
    for (;;) {
        sockaddr_in from{};
        iovec io{receiveBuffer_.data(), receiveBuffer_.size()};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t got = recvmsg(sharedSocket_, &message, MSG_TRUNC);
        if (got < 0) {
            return;
        }
        if (static_cast<size_t>(got) > receiveBuffer_.size()) {
            continue;
        }
        uint32_t destination = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                destination = ntohl(info.ipi_addr.s_addr);
            }
        }
        // Every unit takes a datagram to 255.255.255.255; a subnet broadcast reaches the
        // units whose own subnet it ends. Anything else here is for no unit.
        for (Unit& unit : fleet_) {
            uint32_t broadcast = unit.ip | ~options_.netmask;
            bool addressed = destination == 0xFFFFFFFFu ||
                             (options_.netmask != 0xFFFFFFFFu && destination == broadcast);
            if (!addressed) {
                continue;
            }
            // Each unit opens its own copy: deciphering works in place.
            Bytes copy(receiveBuffer_.begin(), receiveBuffer_.begin() + got);
            Datagram d{copy.data(), copy.size(), ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
            HandleDatagram(unit, d);
        }
    }
}

void Simulator::HandleDatagram(Unit& unit, const Datagram& d) {
    std::string peer = PeerText(d.fromIp, d.fromPort);
    JsonLine request = LogBase(unit, "request", "udp", peer);
    uint8_t source[4] = {};
    uint16_t length = 0;
    std::u16string keyName = unit.group;
    UnitKeys keys{unit.mac.data(), keyName.c_str()};
    size_t offset = OpenUnitPacket(d.bytes, d.length, options_.sourceType, keys, source, &length);
    if (offset == 0 || length < 2 || d.bytes[offset] != kBroadcastCommand) {
        request.Add("bytes", static_cast<uint32_t>(d.length)).AddBool("refused", true);
        log_.Write(request);
        return;
    }
    const uint8_t* payload = d.bytes + offset;
    uint8_t sub = payload[1];
    const uint8_t* body = payload + 2;
    size_t bodyLength = length - 2u;
    uint32_t stationIp = IpOf(source);
    request.Add("command", kBroadcastCommand)
        .Add("sub", sub)
        .Add("request", RequestName(sub))
        .Add("station", Ipv4Text(stationIp));
    // Requests about one unit name it by MAC; the others ignore them.
    bool forMe = bodyLength >= 6 && std::memcmp(body, unit.mac.data(), 6) == 0;
    if (sub == kSubGetNetInfo || sub == kSubGetGroupInfo || sub == kSubSetGroupInfo ||
        sub == kSubSetNetInfo) {
        request.Add("mac", bodyLength >= 6 ? MacText(body) : std::string());
        request.AddBool("forThisUnit", forMe);
    }
    if (unit.faults.silent) {
        request.AddBool("ignored", true);
        log_.Write(request);
        return;
    }
    // Replies go where the envelope says the station is; a station that left its address
    // out is answered at the address the datagram came from.
    if (stationIp == 0) {
        stationIp = d.fromIp;
    }
    switch (sub) {
    case kSubDiscover:
        log_.Write(request);
        SendBroadcastAnswer(unit, stationIp, EncodeDiscoveryReply(unit));
        return;
    case kSubGetGroupInfo:
        log_.Write(request);
        if (forMe) {
            SendBroadcastAnswer(unit, stationIp, EncodeGroupInfoReply(unit));
        }
        return;
    case kSubGetNetInfo:
        log_.Write(request);
        if (forMe) {
            SendBroadcastAnswer(unit, stationIp, EncodeNetInfoReply(unit));
        }
        return;
    case kSubSetGroupInfo: {
        auto group = ReadGroupBody(body, bodyLength);
        if (!group) {
            request.AddBool("malformed", true);
        } else {
            request.Add("name", Utf16ToUtf8(group->name))
                .Add("group", Utf16ToUtf8(group->group))
                .Add("password", Utf16ToUtf8(group->password));
            if (forMe) {
                unit.name = group->name;
                unit.group = group->group;
                unit.password = group->password;
            }
        }
        log_.Write(request);
        return;
    }
    case kSubSetNetInfo: {
        auto net = ReadNetBody(body, bodyLength);
        if (!net) {
            request.AddBool("malformed", true);
        } else {
            request.Add("unitPort", net->net.unitPort)
                .Add("stationPort", net->net.stationPort)
                .Add("netopt", net->net.options)
                .Add("address", Ipv4Text(net->net.ip))
                .Add("netmask", Ipv4Text(net->net.mask))
                .Add("gateway", Ipv4Text(net->net.gateway))
                .Add("dns1", Ipv4Text(net->net.dns[0]))
                .Add("dns2", Ipv4Text(net->net.dns[1]))
                .Add("dns3", Ipv4Text(net->net.dns[2]))
                .Add("stationAddress", Ipv4Text(net->net.station));
            // Kept and reported by net-info; the sockets stay where the unit started.
            if (forMe) {
                unit.net = net->net;
            }
        }
        log_.Write(request);
        return;
    }
    default:
        request.Add("bodyLength", static_cast<uint32_t>(bodyLength));
        log_.Write(request);
        return;
    }
}

void Simulator::SendBroadcastAnswer(Unit& unit, uint32_t stationIp, Bytes payload) {
    const UnitFaults& f = unit.faults;
    uint8_t kind = payload[1];
    if (kind == kReplyDiscovery && f.shortDiscovery > 0) {
        payload.resize(static_cast<size_t>(f.shortDiscovery));
    }
    if (f.oversize) {
        payload.resize(kOversizeBody + 2, 0);
    }
    if (f.wrongSub) {
        kind ^= 0x80;
    }
    std::u16string keyName = options_.stationGroupGiven ? options_.stationGroup : unit.group;
    UnitKeys keys{options_.stationMac.data(), keyName.c_str()};
    uint8_t source[4] = {static_cast<uint8_t>(unit.ip >> 24), static_cast<uint8_t>(unit.ip >> 16),
                         static_cast<uint8_t>(unit.ip >> 8), static_cast<uint8_t>(unit.ip)};
    Bytes packet(kPacketRoom);
    size_t size = SealUnitPacket(packet.data(), packet.size(), options_.replyFlags,
                                 options_.sourceType, source, keys, payload[0], kind,
                                 payload.data() + 2, payload.size() - 2, f.badCrc);
    JsonLine answer = LogBase(unit, "answer", "udp", PeerText(stationIp, options_.stationPort));
    answer.Add("command", payload[0])
        .Add("sub", kind)
        .Add("payloadLength", static_cast<uint32_t>(payload.size()))
        .Add("bytes", static_cast<uint32_t>(size))
        .Add("flags", options_.replyFlags);
    if (f.delayMs > 0) {
        answer.Add("delayMs", f.delayMs);
    }
    if (size == 0) {
        answer.AddBool("unbuildable", true);
        log_.Write(answer);
        return;
    }
    packet.resize(size);
    uint32_t index = unit.index;
    uint16_t port = options_.stationPort;
    auto send = [this, index, stationIp, port, packet, answer]() mutable {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(stationIp);
        to.sin_port = htons(port);
        ssize_t sent = sendto(fleet_[index].udpSocket, packet.data(), packet.size(), 0,
                              reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (sent < 0) {
            answer.Add("error", std::strerror(errno));
        }
        log_.Write(answer);
    };
    if (f.delayMs > 0) {
        After(f.delayMs, std::move(send));
    } else {
        send();
    }
}

} // namespace unitsim
