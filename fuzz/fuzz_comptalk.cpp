// Plays a hostile unit through the session's stream seam: arbitrary bytes arrive as the
// greeting, the login reply and the replies of two exchanges, on a virtual clock, so
// every wait is counted and none is slept.
//
// Byte 0: bit 0 enciphers the station's frames, bits 1-2 pick the key selector, bit 3
// closes the connection once everything has arrived (otherwise the unit stays silent),
// bit 4 makes the station's sends fail. The rest is a list of arrivals: a delay byte
// (4 ms steps after the previous arrival), a length byte (times 9, plus the next byte),
// then that many bytes (fewer at the end of the input).
#include "protocol/comptalk.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Arrival {
    uint64_t atMs;
    std::vector<uint8_t> bytes;
};

class PlayedUnit : public CompTalkStream {
  public:
    PlayedUnit(std::vector<Arrival> arrivals, bool closes, bool sendsFail, uint64_t* clock)
        : arrivals_(std::move(arrivals)), closes_(closes), sendsFail_(sendsFail), clock_(clock) {}

    int Receive(uint8_t* buffer, size_t capacity, size_t* received, bool peek) override {
        Deliver();
        *received = 0;
        if (inbox_.empty()) {
            return closes_ && next_ == arrivals_.size() ? 0 : platform::kWouldBlock;
        }
        const size_t n = capacity < inbox_.size() ? capacity : inbox_.size();
        std::memcpy(buffer, inbox_.data(), n);
        if (!peek) {
            inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<long>(n));
        }
        *received = n;
        return 0;
    }
    int BytesWaiting(size_t* count) override {
        Deliver();
        *count = inbox_.size();
        return 0;
    }
    int Send(const uint8_t*, size_t size, size_t* sent) override {
        *sent = sendsFail_ ? 0 : size;
        return sendsFail_ ? EPIPE : 0;
    }
    void Pause(int milliseconds) override { *clock_ += static_cast<uint64_t>(milliseconds); }

  private:
    void Deliver() {
        while (next_ < arrivals_.size() && arrivals_[next_].atMs <= *clock_) {
            inbox_.insert(inbox_.end(), arrivals_[next_].bytes.begin(),
                          arrivals_[next_].bytes.end());
            ++next_;
        }
    }
    std::vector<Arrival> arrivals_;
    size_t next_ = 0;
    std::vector<uint8_t> inbox_;
    bool closes_;
    bool sendsFail_;
    uint64_t* clock_;
};

// Greeting rounds, then both phases of the login reply; an exchange is two phases.
constexpr uint64_t kOpenBoundMs = 10'000 + 2 * 10'000 + 100;
constexpr uint64_t kExchangeBoundMs = 2 * 10'000 + 100;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t control = data[0];
    std::vector<Arrival> arrivals;
    uint64_t at = 0;
    for (size_t i = 1; i + 2 <= size;) {
        at += uint64_t{data[i]} * 4;
        size_t length = size_t{data[i + 1]} * 9;
        i += 2;
        if (i < size) {
            length += data[i++];
        }
        const size_t end = i + length < size ? i + length : size;
        arrivals.push_back({at, std::vector<uint8_t>(data + i, data + end)});
        i = end;
    }

    uint64_t clock = 0;
    auto unit = std::make_unique<PlayedUnit>(std::move(arrivals), (control & 0x08) != 0,
                                             (control & 0x10) != 0, &clock);
    const uint8_t flags = static_cast<uint8_t>(0x20 | (control & 0x01) | ((control & 0x06) << 1));
    const uint8_t unitMac[6] = {0x02, 0x52, 0x56, 0, 0, 1};
    const uint8_t stationIp[4] = {127, 0, 0, 1};
    const uint8_t stationMac[6] = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
    CompTalkSession* session =
        CompTalkOpenStream(std::move(unit), flags, "127.0.0.1", 2001, unitMac, stationIp,
                           stationMac, u"group", u"secret");
    Check(clock <= kOpenBoundMs);
    if (!session) {
        return 0;
    }
    // Exactly the room the session promises to need, so ASan sees any overrun.
    std::vector<uint8_t> reply(kCompTalkReplyRoom);
    const uint8_t body[4] = {0, 0, 0, 1};
    for (uint8_t command : {uint8_t{8}, uint8_t{10}}) {
        const uint64_t start = clock;
        size_t length = 0;
        const int result =
            CompTalkSend(session, command, 14, body, sizeof body, reply.data(), &length);
        Check(clock - start <= kExchangeBoundMs);
        Check(result == -1 || (result == 0 && length <= kCompTalkReplyRoom));
    }
    const uint64_t start = clock;
    CompTalkClose(session);
    Check(clock - start <= kExchangeBoundMs);
    return 0;
}
