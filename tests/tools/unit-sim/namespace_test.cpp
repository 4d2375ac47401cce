// A real broadcast: the station and the fleet each in a network namespace of the test's
// own, joined by a veth pair on 198.51.100.0/24. Nothing leaves those namespaces.
#include "protocol/broadcast.h"
#include "protocol/packet.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace simtest {
namespace {

constexpr int kUnits = 40;
constexpr uint16_t kBroadcastPort = 2003;
constexpr uint16_t kStationPort = 2004;
constexpr uint32_t kStationIp = Ip(198, 51, 100, 1);
constexpr uint32_t kFirstUnit = Ip(198, 51, 100, 10);

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// The fleet's namespace: waits until the station side has moved the veth end in, sets
// its addresses and becomes unit-sim. Never returns.
[[noreturn]] void UnitSide(int readyToMove, int moved, int simOut) {
    if (unshare(CLONE_NEWNET) != 0) {
        _exit(90);
    }
    char byte = 1;
    if (write(readyToMove, &byte, 1) != 1 || read(moved, &byte, 1) != 1) {
        _exit(91);
    }
    std::string batch = "link set lo up\nlink set rvu0 up\n";
    for (int k = 0; k < kUnits; ++k) {
        batch += "address add " + IpText(kFirstUnit + static_cast<uint32_t>(k)) + "/24 dev rvu0\n";
    }
    FILE* ip = popen("ip -batch -", "w");
    if (ip == nullptr || std::fputs(batch.c_str(), ip) < 0 || pclose(ip) != 0) {
        _exit(92);
    }
    dup2(simOut, 1);
    std::string path = SimPath();
    std::string units = std::to_string(kUnits);
    std::string first = IpText(kFirstUnit);
    execl(path.c_str(), path.c_str(), "--units", units.c_str(), "--first-ip", first.c_str(),
          static_cast<char*>(nullptr));
    _exit(93);
}

// Replies from distinct units to one query sent to `destination`.
size_t CountReplies(int socketFd, uint32_t destination) {
    const uint8_t source[4] = {198, 51, 100, 1};
    const uint8_t dest[4] = {
        static_cast<uint8_t>(destination >> 24), static_cast<uint8_t>(destination >> 16),
        static_cast<uint8_t>(destination >> 8), static_cast<uint8_t>(destination)};
    // The station's own sender: a fresh socket, broadcast permission for 255.255.255.255.
    if (SendBroadcastToloQuery(kBroadcastPort, source, dest, nullptr, nullptr, 0x2D) != 0) {
        std::fprintf(stderr, "SendBroadcastToloQuery to %s failed\n", IpText(destination).c_str());
        return 0;
    }
    std::set<uint32_t> units;
    pollfd p{socketFd, POLLIN, 0};
    while (units.size() < static_cast<size_t>(kUnits) && poll(&p, 1, 2000) > 0) {
        uint8_t reply[1024];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t got = recvfrom(socketFd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from),
                               &fromLength);
        uint8_t zeroMac[6] = {};
        uint16_t length = 0;
        size_t offset = got > 0 ? ParsePacket(reply, static_cast<size_t>(got), zeroMac, nullptr,
                                              nullptr, &length)
                                : 0;
        if (offset != 0 && length == 166 && reply[offset + 1] == 2) {
            units.insert(ntohl(from.sin_addr.s_addr));
        }
    }
    return units.size();
}

// The station's namespace; returns the exit status for the test.
int StationSide() {
    if (unshare(CLONE_NEWNET) != 0) {
        return 80;
    }
    if (!Shell("ip link set lo up && ip link add rvs0 type veth peer name rvu0 && "
               "ip address add 198.51.100.1/24 dev rvs0 && ip link set rvs0 up && "
               "ip route add default dev rvs0")) {
        return 81;
    }
    int toMove[2], moved[2], simOut[2];
    if (pipe(toMove) != 0 || pipe(moved) != 0 || pipe(simOut) != 0) {
        return 82;
    }
    pid_t units = fork();
    if (units == 0) {
        UnitSide(toMove[1], moved[0], simOut[1]);
    }
    close(simOut[1]);
    char byte = 0;
    if (read(toMove[0], &byte, 1) != 1 ||
        !Shell("ip link set rvu0 netns " + std::to_string(units)) ||
        write(moved[1], &byte, 1) != 1) {
        kill(units, SIGKILL);
        return 83;
    }
    std::string out;
    char buf[64];
    ssize_t got;
    while (out.find("ready\n") == std::string::npos &&
           (got = read(simOut[0], buf, sizeof buf)) > 0) {
        out.append(buf, static_cast<size_t>(got));
    }
    int status = 0;
    if (out.find("ready\n") == std::string::npos) {
        waitpid(units, &status, 0);
        std::fprintf(stderr, "unit side ended with status %d\n", status);
        return 84;
    }
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(kStationPort);
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    size_t allOnes = CountReplies(fd, 0xFFFFFFFFu);
    size_t subnet = CountReplies(fd, Ip(198, 51, 100, 255));
    kill(units, SIGTERM);
    waitpid(units, &status, 0);
    std::fprintf(stderr, "255.255.255.255: %zu replies, 198.51.100.255: %zu replies\n", allOnes,
                 subnet);
    bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return allOnes == kUnits && subnet == kUnits && clean ? 0 : 85;
}

TEST(UnitSimNamespace, BroadcastToAllOnesIsAnsweredByEveryUnit) {
    if (geteuid() != 0 || !Shell("ip -V > /dev/null 2>&1")) {
        GTEST_SKIP() << "needs root and iproute2 to make its own network namespaces";
    }
    pid_t station = fork();
    if (station == 0) {
        _exit(StationSide());
    }
    int status = 0;
    ASSERT_EQ(waitpid(station, &status, 0), station);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace simtest
