// The fleet as a network peer: one epoll loop over every unit's UDP socket and TCP
// listener, one shared UDP socket for broadcasts, the open sessions, a timer for late
// answers and installs, and a signal descriptor for SIGINT and SIGTERM.
#pragma once

#include "tools/unit-sim/fleet.h"
#include "tools/unit-sim/json_log.h"
#include "tools/unit-sim/options.h"
#include "tools/unit-sim/unit_messages.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace unitsim {

class Simulator {
  public:
    Simulator(Options options, JsonLog& log);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens and binds every socket. False with `error` set when one cannot be made.
    bool Start(std::string& error);
    // Runs until SIGINT or SIGTERM arrives; returns the exit status.
    int Run();

  private:
    struct Session {
        uint64_t id = 0;
        int fd = -1;
        uint32_t unit = 0;
        std::string peer;
        Bytes in;
        Bytes out;
        bool loggedIn = false;
        bool closeWhenSent = false;
    };
    struct Datagram {
        uint8_t* bytes;
        size_t length;
        uint32_t fromIp;
        uint16_t fromPort;
    };

    // Broadcast side (broadcast_side.cpp).
    void ReadUnitSocket(uint32_t unit);
    void ReadSharedSocket();
    void HandleDatagram(Unit& unit, const Datagram& datagram);
    void SendBroadcastAnswer(Unit& unit, uint32_t stationIp, Bytes payload);

    // Session side (session_side.cpp).
    void AcceptSessions(uint32_t unit);
    void ReadSession(uint64_t id);
    void HandleFrame(Session& session, uint8_t* packet, size_t length);
    void HandleRequest(Session& session, Unit& unit, uint8_t command, uint8_t sub,
                       const uint8_t* body, size_t length, JsonLine& request);
    void SendGreeting(Session& session);
    // Seals and queues an answer; `faulty` applies the unit's answer faults.
    void SendSessionAnswer(Session& session, uint8_t command, uint8_t sub, Bytes body, bool faulty);
    void QueueSessionBytes(uint64_t id, const Bytes& packet, bool closeAfter);
    void FlushSession(Session& session);
    void CloseSession(uint64_t id);
    void Install(uint32_t unit, const UpgradeCommand& command);
    void InstallSecondaries(uint32_t unit);

    // Timers: callbacks that run once their monotonic millisecond has come.
    void After(int ms, std::function<void()> callback);
    void RunDueTimers();
    void ArmTimer();
    uint64_t NowMs() const;

    JsonLine LogBase(const Unit& unit, const char* direction, const char* via,
                     const std::string& peer) const;

    Options options_;
    JsonLog& log_;
    std::vector<Unit> fleet_;
    int epoll_ = -1;
    int signalFd_ = -1;
    int timerFd_ = -1;
    int sharedSocket_ = -1;
    uint64_t nextSessionId_ = 1;
    std::unordered_map<uint64_t, Session> sessions_;
    std::multimap<uint64_t, std::function<void()>> timers_;
    std::vector<uint8_t> receiveBuffer_;
};

} // namespace unitsim
