#include "protocol/comptalk_stream.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

class SocketStream : public CompTalkStream {
  public:
    explicit SocketStream(platform::Socket socket) : socket_(std::move(socket)) {}

    int Receive(uint8_t* buffer, size_t capacity, size_t* received, bool peek) override {
        *received = 0;
        return platform::Receive(socket_, buffer, capacity, received, peek);
    }
    int BytesWaiting(size_t* count) override { return platform::BytesWaiting(socket_, count); }
    int Send(const uint8_t* data, size_t size, size_t* sent) override {
        *sent = 0;
        return platform::Send(socket_, data, size, sent);
    }
    void Pause(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    int Handle() const override { return socket_.Descriptor(); }

  private:
    platform::Socket socket_;
};

enum class Peek { Complete, Partial, Nothing, Failed };

Peek PeekFor(CompTalkStream& stream, uint8_t* buffer, size_t wanted) {
    size_t seen = 0;
    const int error = stream.Receive(buffer, wanted, &seen, true);
    if (error == platform::kWouldBlock) {
        return Peek::Nothing;
    }
    // An orderly close with nothing left can never bring the rest.
    if (error != 0 || seen == 0) {
        return Peek::Failed;
    }
    return seen >= wanted ? Peek::Complete : Peek::Partial;
}

} // namespace

std::unique_ptr<CompTalkStream> MakeSocketStream(platform::Socket socket) {
    return std::make_unique<SocketStream>(std::move(socket));
}

void CompTalkFlush(CompTalkStream& stream) {
    uint8_t discard[kCompTalkFlushPiece];
    for (int round = 0; round < kCompTalkFlushRounds; ++round) {
        size_t waiting = 0;
        if (stream.BytesWaiting(&waiting) != 0 || waiting == 0) {
            return;
        }
        const size_t asked = std::min(waiting, sizeof discard);
        size_t got = 0;
        if (stream.Receive(discard, asked, &got, false) != 0 || got < asked) {
            return;
        }
    }
}

int CompTalkRecvPacket(CompTalkStream& stream, uint8_t* buffer, size_t capacity) {
    constexpr size_t kHeader = 16;
    if (!buffer || capacity < kHeader) {
        return -1;
    }
    size_t size = kHeader;
    bool headerSeen = false;
    for (int attempt = 0; attempt < kCompTalkPeekAttempts; ++attempt) {
        const Peek peek = PeekFor(stream, buffer, kHeader);
        if (peek == Peek::Failed) {
            return -1;
        }
        if (peek == Peek::Complete) {
            headerSeen = true;
            break;
        }
        stream.Pause(kCompTalkWaitMs);
    }
    if (headerSeen) {
        const size_t length = static_cast<size_t>((buffer[14] << 8) | buffer[15]);
        // Checked before the body is peeked: a packet that cannot fit is left waiting.
        if (length > 2047 || kHeader + length > capacity) {
            return -1;
        }
        size = kHeader + length;
    }
    if (size > kHeader || !headerSeen) {
        bool complete = false;
        for (int attempt = 0; attempt < kCompTalkPeekAttempts; ++attempt) {
            const Peek peek = PeekFor(stream, buffer, size);
            if (peek == Peek::Failed) {
                return -1;
            }
            if (peek == Peek::Complete) {
                complete = true;
                break;
            }
            stream.Pause(kCompTalkWaitMs);
        }
        if (!complete) {
            return -1;
        }
    }
    size_t got = 0;
    if (stream.Receive(buffer, size, &got, false) != 0 || got != size) {
        return -1;
    }
    return static_cast<int>(got);
}

size_t CompTalkRecvGreeting(CompTalkStream& stream, uint8_t* buffer, size_t capacity) {
    size_t collected = 0;
    int idleRounds = 0;
    for (int round = 0; round < kCompTalkGreetingRounds && collected < capacity; ++round) {
        size_t got = 0;
        const int error = stream.Receive(buffer + collected, capacity - collected, &got, false);
        if (error == 0 && got == 0) {
            break; // the unit hung up; nothing more will come
        }
        if (error == 0) {
            collected += got;
            idleRounds = 0;
            continue;
        }
        if (error != platform::kWouldBlock) {
            break;
        }
        if (collected > 0 && ++idleRounds > kCompTalkGreetingIdleRounds) {
            break;
        }
        stream.Pause(kCompTalkWaitMs);
    }
    return collected;
}
