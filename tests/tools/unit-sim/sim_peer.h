// Test side of the unit simulator: starts `unit-sim` as a child process and plays the
// station against it over loopback with the station's own codec.
#pragma once

#include "protocol/broadcast_bodies.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 |
           static_cast<uint32_t>(c) << 8 | d;
}
std::string IpText(uint32_t ip);

// The simulator binary built next to the tests.
std::string SimPath();

// A running unit-sim; stopped with SIGTERM when the object goes.
class SimProcess {
  public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator with `args` and waits up to 20 s for its "ready" line.
    bool Start(const std::vector<std::string>& args, std::string* output = nullptr);
    // Sends `signal` and returns the exit code (128 + signal when killed by one).
    int Stop(int signal = 15);
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

// Runs unit-sim to its end (for --help and bad options); returns the exit code.
int RunSim(const std::vector<std::string>& args, std::string* output);

struct Reply {
    uint32_t fromIp = 0;     // address the datagram came from
    uint32_t envelopeIp = 0; // source address in the envelope
    uint8_t flags = 0;
    uint8_t sourceType = 0;
    size_t rawSize = 0;
    bool opened = false; // ParsePacket accepted it
    Bytes payload;       // command byte, reply kind, fields
};

// The station's UDP side: sends requests from its listen socket and receives replies.
class Station {
  public:
    Station(uint32_t ip, uint16_t listenPort);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;
    bool Ok() const { return fd_ >= 0; }

    // Requests through the station's own senders (flags 0x2D, from a fresh socket).
    bool Discover(uint32_t destination, uint16_t port);
    bool GetGroupInfo(uint32_t destination, uint16_t port, const Bytes& mac);
    bool GetNetInfo(uint32_t destination, uint16_t port, const Bytes& mac);
    bool SetGroupInfo(uint32_t destination, uint16_t port, const Bytes& mac, const char16_t* group,
                      const char16_t* name, const char16_t* password);
    bool SetNetInfo(uint32_t destination, uint16_t port, const Bytes& mac,
                    const NetworkSettings& settings);
    // One request datagram (command 1, `sub`) built by BuildPacket.
    bool Send(uint32_t destination, uint16_t port, uint8_t sub, const Bytes& body,
              uint8_t flags = 0x2D, const uint8_t* mac = nullptr, const char16_t* name = nullptr);
    // Sends a raw datagram.
    bool SendRaw(uint32_t destination, uint16_t port, const Bytes& bytes);
    // Receives one datagram and opens it with ParsePacket (station MAC, group name).
    std::optional<Reply> Receive(int timeoutMs, const uint8_t* stationMac = nullptr,
                                 const char16_t* groupName = nullptr);
    // Collects replies until `count` arrived or `timeoutMs` passed without one.
    std::vector<Reply> Collect(size_t count, int timeoutMs);
    int Fd() const { return fd_; }

  private:
    uint32_t ip_;
    int fd_ = -1;
};

// A CompTalk session as the station runs it, frame by frame.
class SessionClient {
  public:
    SessionClient(uint32_t stationIp, const uint8_t unitMac[6]);
    ~SessionClient();
    SessionClient(const SessionClient&) = delete;
    SessionClient& operator=(const SessionClient&) = delete;

    bool Connect(uint32_t ip, uint16_t port);
    // One whole frame as received (header and payload), or nothing when none came in
    // `timeoutMs`; `Closed()` tells whether the unit hung up.
    std::optional<Bytes> ReadFrame(int timeoutMs);
    bool Closed() const { return closed_; }
    // Opens a frame with ParsePacket (unit MAC, group name); the payload or nothing.
    std::optional<Bytes> Open(Bytes frame, const char16_t* groupName = nullptr) const;
    bool SendFrame(uint8_t command, uint8_t sub, const Bytes& body, uint8_t flags = 0x2D);
    // Sends a request and opens its answer: the payload with its two command bytes.
    std::optional<Bytes> Exchange(uint8_t command, uint8_t sub, const Bytes& body,
                                  int timeoutMs = 3000);
    // Greeting, then login with `password`: the login answer payload.
    std::optional<Bytes> GreetAndLogin(const std::u16string& password);

  private:
    uint32_t stationIp_;
    uint8_t mac_[6];
    int fd_ = -1;
    bool closed_ = false;
    Bytes pending_;
};

// 64-byte UTF-16LE text field as the station writes it.
void PutText(uint8_t* field, const std::u16string& text);
std::u16string GetText(const uint8_t* field);
Bytes Be32(uint32_t value);

// The lines of a JSON-lines log file.
std::vector<std::string> ReadLines(const std::string& path);
// Lines that contain every one of `pieces`.
std::vector<std::string> LinesWith(const std::string& path, const std::vector<std::string>& pieces);

// A fresh private folder under the test's temporary directory.
std::string TempDir();

} // namespace simtest
