#include "protocol/comptalk_fast.h"

#include "protocol/comptalk.h"
#include "protocol/log.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

std::atomic<FstOpenHook> gOpen{nullptr};
std::atomic<FstTransactHook> gTransact{nullptr};
std::atomic<FstCloseHook> gClose{nullptr};

// The two blocks the station keeps for the provider; nothing fills them.
constexpr uint8_t kBlockA[kFstBlockSize] = {};
constexpr uint8_t kBlockB[kFstBlockSize] = {};

class FstPool {
  public:
    FstCompTalkSession* Acquire() {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            FstCompTalkSession* record = free_.back();
            free_.pop_back();
            *record = FstCompTalkSession{};
            return record;
        }
        return new (std::nothrow) FstCompTalkSession{};
    }
    void Release(FstCompTalkSession* record) {
        record->magic = 0;
        std::lock_guard lock(mutex_);
        try {
            free_.push_back(record);
        } catch (const std::bad_alloc&) {
        }
    }

  private:
    std::mutex mutex_;
    std::vector<FstCompTalkSession*> free_;
};

FstPool& Pool() {
    static FstPool* pool = new FstPool;
    return *pool;
}

uint32_t ClockMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CopyName(char16_t (&destination)[kFstNameUnits], std::u16string_view text) {
    std::fill(std::begin(destination), std::end(destination), u'\0');
    const size_t units = std::min(text.size(), kFstNameUnits - 1);
    for (size_t i = 0; i < units && text[i] != u'\0'; ++i) {
        destination[i] = text[i];
    }
}

bool IsLive(const FstCompTalkSession* session) {
    return session && session->magic == kCompTalkMagic;
}

int Transact(const FstCompTalkSession& session, FstTransactHook transact, uint8_t* reply,
             size_t* replyLength, uint8_t command, uint8_t subCommand) {
    if (command == 5 && (subCommand == 4 || subCommand == 3)) {
        const uint8_t prefix[4] = {0xAA, 0x55, 0x00, 0x06}; // 0x060055AA, low byte first
        std::memcpy(reply, prefix, sizeof prefix);
        int result = transact(session.flags, session.handle, 0, reply + 4);
        if (result != 0) {
            return result;
        }
        if (subCommand == 4) {
            std::memset(reply + 16, 0, 5);
            *replyLength = 21;
            return 0;
        }
        std::memset(reply + 16, 0, 4);
        result = transact(session.flags, session.handle, 1, reply + 21);
        if (result == 0) {
            reply[20] = 1;
            reply[25] = reply[24];
            reply[24] = reply[23];
            reply[23] = 1;
            reply[26] = 0;
            *replyLength = 27;
        } else {
            std::memset(reply + 20, 0, 3);
            *replyLength = 23;
        }
        return result;
    }
    if (command == 8 && subCommand == 5) {
        const int result = transact(session.flags, session.handle, 1, reply);
        if (result == 0) {
            *replyLength = 4;
        }
        return result;
    }
    return -1;
}

} // namespace

FstHooks SetFstHooks(const FstHooks& hooks) {
    FstHooks previous;
    previous.open = gOpen.exchange(hooks.open);
    previous.transact = gTransact.exchange(hooks.transact);
    previous.close = gClose.exchange(hooks.close);
    return previous;
}

FstCompTalkSession* FstCompTalkOpen(uint8_t flags, const char* host, uint16_t port,
                                    const uint8_t unitMac[6], const uint8_t stationIp[4],
                                    const uint8_t stationMac[6], std::u16string_view groupName,
                                    std::u16string_view groupKey) {
    FstCompTalkSession* session = Pool().Acquire();
    if (!session) {
        return nullptr;
    }
    session->handle = -1;
    session->open = 0;
    const FstOpenHook open = gOpen.load();
    if (!open) {
        Pool().Release(session);
        return nullptr;
    }
    session->handle = open(flags, host ? host : "", port, kBlockA, kBlockB);
    if (session->handle < 0) {
        Pool().Release(session);
        return nullptr;
    }
    if (host) {
        std::strncpy(session->host, host, sizeof session->host - 1);
    }
    session->port = port;
    if (unitMac) {
        std::memcpy(session->unitMac, unitMac, 6);
    }
    if (stationMac) {
        std::memcpy(session->stationMac, stationMac, 6);
    }
    if (stationIp) {
        std::memcpy(session->stationIp, stationIp, 4);
    }
    CopyName(session->groupName, groupName);
    CopyName(session->groupKey, groupKey);
    session->flags = flags;
    session->magic = kCompTalkMagic;
    session->open = 1;
    return session;
}

int FstCompTalkSend(FstCompTalkSession* session, uint8_t command, uint8_t subCommand,
                    const uint8_t*, size_t, uint8_t* reply, size_t* replyLength) {
    LogMessage(kLogTiming, u"FstCompTalkSend: got in clk=%u\n", ClockMs());
    int result = -1;
    if (IsLive(session) && reply && replyLength) {
        *replyLength = 0;
        if (const FstTransactHook transact = gTransact.load()) {
            result = Transact(*session, transact, reply, replyLength, command, subCommand);
        }
    }
    LogMessage(kLogTiming, u"FstCompTalkSend: got out clk=%u\n", ClockMs());
    return result;
}

void FstCompTalkClose(FstCompTalkSession* session) {
    if (!IsLive(session)) {
        return;
    }
    if (session->open && session->handle >= 0) {
        if (const FstCloseHook close = gClose.load()) {
            close(session->flags, session->handle);
        }
    }
    Pool().Release(session);
}
