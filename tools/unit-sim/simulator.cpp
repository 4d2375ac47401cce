#include "tools/unit-sim/simulator.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace unitsim {
namespace {

// What an epoll event belongs to: the kind in the top byte, an index or id below.
enum Source : uint64_t {
    kSignalSource = 1,
    kTimerSource = 2,
    kSharedSource = 3,
    kUnitUdpSource = 4,
    kListenerSource = 5,
    kSessionSource = 6,
};
constexpr int kSourceShift = 56;
constexpr uint64_t Tag(Source source, uint64_t value) {
    return static_cast<uint64_t>(source) << kSourceShift | value;
}

bool Watch(int epoll, int fd, uint64_t tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = tag;
    return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

sockaddr_in Address(uint32_t ip, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return a;
}

int BoundSocket(int type, uint32_t ip, uint16_t port, std::string& error) {
    int fd = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    // The shared broadcast socket and the units' own sockets share one UDP port.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = Address(ip, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = "bind " + Ipv4Text(ip) + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    if (type == SOCK_STREAM && listen(fd, 64) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

// Two sockets a unit, plus a few: lift the soft descriptor limit to the hard one.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

Simulator::Simulator(Options options, JsonLog& log)
    : options_(std::move(options)), log_(log), fleet_(MakeFleet(options_)), receiveBuffer_(65536) {}

Simulator::~Simulator() {
    for (auto& [id, session] : sessions_) {
        close(session.fd);
    }
    for (Unit& unit : fleet_) {
        if (unit.udpSocket >= 0) {
            close(unit.udpSocket);
        }
        if (unit.tcpListener >= 0) {
            close(unit.tcpListener);
        }
    }
    for (int fd : {sharedSocket_, timerFd_, signalFd_, epoll_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool Simulator::Start(std::string& error) {
    RaiseDescriptorLimit();
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signalFd_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);
    if (epoll_ < 0 || timerFd_ < 0 || signalFd_ < 0 ||
        !Watch(epoll_, signalFd_, Tag(kSignalSource, 0)) ||
        !Watch(epoll_, timerFd_, Tag(kTimerSource, 0))) {
        error = std::string("event loop: ") + std::strerror(errno);
        return false;
    }
    // Datagrams to 255.255.255.255 or to a subnet broadcast reach no unit's own socket;
    // this one takes them and says where each was sent.
    sharedSocket_ = BoundSocket(SOCK_DGRAM, INADDR_ANY, options_.broadcastPort, error);
    if (sharedSocket_ < 0) {
        return false;
    }
    int on = 1;
    setsockopt(sharedSocket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    if (!Watch(epoll_, sharedSocket_, Tag(kSharedSource, 0))) {
        error = std::string("epoll: ") + std::strerror(errno);
        return false;
    }
    for (Unit& unit : fleet_) {
        unit.udpSocket = BoundSocket(SOCK_DGRAM, unit.ip, options_.broadcastPort, error);
        if (unit.udpSocket < 0) {
            return false;
        }
        unit.tcpListener = BoundSocket(SOCK_STREAM, unit.ip, options_.sessionPort, error);
        if (unit.tcpListener < 0) {
            return false;
        }
        if (!Watch(epoll_, unit.udpSocket, Tag(kUnitUdpSource, unit.index)) ||
            !Watch(epoll_, unit.tcpListener, Tag(kListenerSource, unit.index))) {
            error = std::string("epoll: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

int Simulator::Run() {
    std::vector<epoll_event> events(256);
    for (;;) {
        int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), -1);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("epoll_wait");
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            uint64_t tag = events[i].data.u64;
            auto source = static_cast<Source>(tag >> kSourceShift);
            uint64_t value = tag & ((uint64_t{1} << kSourceShift) - 1);
            switch (source) {
            case kSignalSource:
                return 0;
            case kTimerSource: {
                uint64_t expirations = 0;
                ssize_t got = read(timerFd_, &expirations, sizeof expirations);
                (void)got;
                break;
            }
            case kSharedSource:
                ReadSharedSocket();
                break;
            case kUnitUdpSource:
                ReadUnitSocket(static_cast<uint32_t>(value));
                break;
            case kListenerSource:
                AcceptSessions(static_cast<uint32_t>(value));
                break;
            case kSessionSource:
                if (events[i].events & EPOLLOUT) {
                    if (auto it = sessions_.find(value); it != sessions_.end()) {
                        FlushSession(it->second);
                    }
                }
                if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                    ReadSession(value);
                }
                break;
            }
        }
        RunDueTimers();
    }
}

uint64_t Simulator::NowMs() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

void Simulator::After(int ms, std::function<void()> callback) {
    timers_.emplace(NowMs() + static_cast<uint64_t>(ms), std::move(callback));
    ArmTimer();
}

void Simulator::RunDueTimers() {
    while (!timers_.empty() && timers_.begin()->first <= NowMs()) {
        auto callback = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        callback();
    }
    ArmTimer();
}

void Simulator::ArmTimer() {
    itimerspec spec{};
    if (!timers_.empty()) {
        uint64_t due = timers_.begin()->first;
        uint64_t now = NowMs();
        uint64_t wait = due > now ? due - now : 1;
        spec.it_value.tv_sec = static_cast<time_t>(wait / 1000);
        spec.it_value.tv_nsec = static_cast<long>(wait % 1000) * 1000000;
    }
    timerfd_settime(timerFd_, 0, &spec, nullptr);
}

JsonLine Simulator::LogBase(const Unit& unit, const char* direction, const char* via,
                            const std::string& peer) const {
    JsonLine line;
    line.Add("ms", static_cast<int64_t>(NowMs()))
        .Add("unit", unit.index)
        .Add("ip", Ipv4Text(unit.ip))
        .Add("dir", direction)
        .Add("via", via)
        .Add("peer", peer);
    return line;
}

} // namespace unitsim
