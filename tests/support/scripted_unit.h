// A unit played by a test script over a real TCP connection on loopback: it listens on
// 127.0.0.1, accepts connections and runs the script on each, with exact bytes and
// timing. Frames the station sends are read whole; plain ones are opened directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testunit {

using Bytes = std::vector<uint8_t>;

// Reply flags of a unit: destination the station, fixed key; plain or enciphered.
inline constexpr uint8_t kPlainReply = 0x1C;
inline constexpr uint8_t kCipherReply = 0x1D;

struct Frame {
    Bytes raw; // header and payload as received
    uint8_t flags = 0;
    uint8_t command = 0;
    uint8_t sub = 0;
    Bytes body; // plain frames only
};

class Connection {
  public:
    explicit Connection(int fd) : fd_(fd) {}
    // One whole frame, or nothing when none came within `timeoutMs` or the station hung up.
    std::optional<Frame> ReadFrame(int timeoutMs = 3000);
    // Whether the station closed the connection within `timeoutMs` without sending more.
    bool WaitClosed(int timeoutMs);
    bool SendRaw(const Bytes& bytes);
    // A packet built with the station's codec (fixed key, so no key material needed).
    bool SendPacket(uint8_t command, uint8_t sub, const Bytes& body, uint8_t flags = kPlainReply);
    static Bytes Packet(uint8_t command, uint8_t sub, const Bytes& body,
                        uint8_t flags = kPlainReply);
    // Greeting, then the login frame (returned) answered with `answer`.
    std::optional<Frame> GreetAndLogin(const Bytes& answer = {4, 0, 0x55});

  private:
    bool Fill(size_t wanted, int timeoutMs);
    int fd_;
    Bytes pending_;
    bool closed_ = false;
};

class ScriptedUnit {
  public:
    using Script = std::function<void(Connection&)>;
    // Runs `script` on every accepted connection, one after the other.
    explicit ScriptedUnit(Script script);
    ~ScriptedUnit();
    ScriptedUnit(const ScriptedUnit&) = delete;
    ScriptedUnit& operator=(const ScriptedUnit&) = delete;

    uint16_t Port() const { return port_; }
    int Accepted() const { return accepted_.load(); }
    // Frames the scripts chose to record.
    void Record(const Frame& frame);
    std::vector<Frame> Recorded();

  private:
    void Run();
    Script script_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::mutex mutex_;
    std::vector<Frame> recorded_;
    std::thread thread_;
};

// Text as UTF-16LE bytes (without a zero unit).
Bytes Utf16Le(const std::u16string& text);

} // namespace testunit
