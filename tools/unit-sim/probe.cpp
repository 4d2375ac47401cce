// unit-sim-probe: a range discovery as the station sends it (one query per address, by
// the station's own sender) and a count of the discovery replies that come back. For
// measuring and trying out the simulator; loopback or a test-made namespace only.
#include "protocol/broadcast.h"
#include "protocol/broadcast_bodies.h"
#include "protocol/packet.h"
#include "tools/unit-sim/options.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char kUsage[] = R"(Usage: unit-sim-probe --from A.B.C.D --to A.B.C.D [OPTION]...
Sends one discovery query to every address from --from to --to (at most 65536) and counts
the discovery replies received on the station port.
  --station-ip A.B.C.D   the station's address, sent in every query (default 127.0.0.1)
  --broadcast-port P     the units' port (default 2003)
  --station-port P       where replies are received (default 2004)
  --wait MS              how long to wait for a further reply (default 1000)
  --rounds N             repeat the whole range N times (default 1)
)";

void Quad(uint32_t ip, uint8_t out[4]) {
    out[0] = static_cast<uint8_t>(ip >> 24);
    out[1] = static_cast<uint8_t>(ip >> 16);
    out[2] = static_cast<uint8_t>(ip >> 8);
    out[3] = static_cast<uint8_t>(ip);
}

// Reads every waiting reply; counts discovery replies by their source address.
void Drain(int fd, std::set<uint32_t>& units, size_t& replies, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, waitMs) > 0) {
        uint8_t packet[2048];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t got =
            recvfrom(fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0) {
            return;
        }
        const uint8_t zeroMac[6] = {};
        uint16_t length = 0;
        size_t offset =
            ParsePacket(packet, static_cast<size_t>(got), zeroMac, nullptr, nullptr, &length);
        if (offset != 0 && BroadcastReplyKind(packet + offset, length) == kReplyDiscovery) {
            ++replies;
            units.insert(ntohl(from.sin_addr.s_addr));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    uint32_t from = 0, to = 0, station = 0x7F000001;
    int broadcastPort = 2003, stationPort = 2004, waitMs = 1000, rounds = 1;
    bool haveFrom = false, haveTo = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "unit-sim-probe: %s needs a value\n", name.c_str());
            return 2;
        }
        std::string value = argv[++i];
        bool ok = true;
        if (name == "--from") {
            ok = haveFrom = unitsim::ParseIpv4(value, from);
        } else if (name == "--to") {
            ok = haveTo = unitsim::ParseIpv4(value, to);
        } else if (name == "--station-ip") {
            ok = unitsim::ParseIpv4(value, station);
        } else if (name == "--broadcast-port") {
            broadcastPort = std::atoi(value.c_str());
        } else if (name == "--station-port") {
            stationPort = std::atoi(value.c_str());
        } else if (name == "--rounds") {
            rounds = std::atoi(value.c_str());
            ok = rounds > 0;
        } else if (name == "--wait") {
            waitMs = std::atoi(value.c_str());
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "unit-sim-probe: bad argument %s %s\n", name.c_str(),
                         value.c_str());
            return 2;
        }
    }
    if (!haveFrom || !haveTo || to < from || to - from >= 65536 || broadcastPort <= 0 ||
        broadcastPort > 65535 || stationPort <= 0 || stationPort > 65535) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int room = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(stationPort));
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror("unit-sim-probe: bind");
        return 1;
    }
    uint8_t source[4];
    Quad(station, source);
    std::set<uint32_t> units;
    size_t replies = 0;
    size_t sent = 0;
    for (int round = 0; round < rounds; ++round) {
        for (uint64_t ip = from; ip <= to; ++ip) {
            uint8_t dest[4];
            Quad(static_cast<uint32_t>(ip), dest);
            if (SendBroadcastToloQuery(static_cast<uint16_t>(broadcastPort), source, dest, nullptr,
                                       nullptr, kStationFlags | kCipherAes) == 0) {
                ++sent;
            }
            Drain(fd, units, replies, 0);
        }
    }
    Drain(fd, units, replies, waitMs);
    std::printf("%zu queries, %zu discovery replies from %zu units\n", sent, replies, units.size());
    close(fd);
    return 0;
}
