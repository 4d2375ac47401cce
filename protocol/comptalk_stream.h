// The byte stream under a CompTalk session, and the session's receive routines over it.
// Production streams wrap a connected TCP socket; a test or fuzz target can play a unit
// from a byte string through the same interface.
#pragma once

#include "platform/socket.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Room for the largest packet ParsePacket accepts: a header and 2,047 payload bytes.
inline constexpr size_t kCompTalkPacketRoom = 16 + 2047;
inline constexpr size_t kCompTalkGreetingRoom = 2048;
inline constexpr int kCompTalkPeekAttempts = 1000;
inline constexpr int kCompTalkGreetingRounds = 1000;
inline constexpr int kCompTalkGreetingIdleRounds = 6;
inline constexpr int kCompTalkWaitMs = 10;
inline constexpr size_t kCompTalkFlushPiece = 128;
// A unit that keeps sending while the station flushes cannot hold the flush forever.
inline constexpr int kCompTalkFlushRounds = 1000;

class CompTalkStream {
  public:
    virtual ~CompTalkStream() = default;
    // Takes (or with `peek` looks at) up to `capacity` waiting bytes without blocking.
    // Returns 0 with `*received` > 0 for bytes, 0 with `*received` == 0 when the peer has
    // closed, platform::kWouldBlock when nothing is waiting, another errno value on error.
    virtual int Receive(uint8_t* buffer, size_t capacity, size_t* received, bool peek) = 0;
    virtual int BytesWaiting(size_t* count) = 0;
    virtual int Send(const uint8_t* data, size_t size, size_t* sent) = 0;
    // The receive routines' waits between attempts.
    virtual void Pause(int milliseconds) = 0;
    // The descriptor shown in diagnostics (0 when there is none).
    virtual int Handle() const { return 0; }
};

// A stream over a connected socket in non-blocking mode; it owns the socket.
std::unique_ptr<CompTalkStream> MakeSocketStream(platform::Socket socket);

// Discards what is waiting, in pieces of at most 128 bytes, until a read brings fewer
// bytes than asked for, the count query fails, or 1,000 rounds have gone.
void CompTalkFlush(CompTalkStream& stream);

// Receives one packet into `buffer`: peeks at the header, then at the whole packet, and
// reads it only when all of it is there. The announced size is checked against
// `capacity` (and the payload against 2,047 bytes) before the body is peeked: such a
// packet fails and stays waiting for the next flush. A partial or empty peek waits 10 ms;
// each phase gives up after 1,000 attempts. Returns the bytes read, or -1.
int CompTalkRecvPacket(CompTalkStream& stream, uint8_t* buffer, size_t capacity);

// Collects the unit's greeting in rounds of 10 ms: until `capacity` bytes arrived, six
// empty rounds in a row after the first byte (the seventh ends it), the peer closed, or
// 1,000 rounds. Returns the bytes collected.
size_t CompTalkRecvGreeting(CompTalkStream& stream, uint8_t* buffer, size_t capacity);
