// The four passes the upgrader thread runs: test, upgrade, secondaries refresh and
// secondaries upgrade. Each takes the units it works on as copies when it (or, in the
// test pass, each phase) starts, reports every unit and its progress to NotifyWindow, and
// always ends with its end notice. Job bit 0x10 ends a pass after the unit in hand. The
// upgrade and secondaries-upgrade passes clear the bootloader flag just before their end
// notice.
#pragma once

#include "request/thread_context.h"
#include "upgrade/pass_peers.h"
#include "upgrade/shared_table.h"

#include <cstdint>

// What a pass works with. The context is the process-wide record (job flags and the
// bootloader flag are read from it as the pass runs; its station fields only once).
struct PassWork {
    ThreadContext* context;
    const SharedDeviceTable* table;
    const SharedPassSettings* settings;
    PassPeers* peers;
};

inline constexpr uint32_t kPhaseWaitMs = 2000;

void RunTestPass(const PassWork& work);
void RunUpgradePass(const PassWork& work);
void RunSecondariesRefresh(const PassWork& work);
void RunSecondariesUpgrade(const PassWork& work);

// base + span × done / count in integer arithmetic, kept within 0..100.
int ProgressPercent(int base, int span, int done, int count);

// 0x2C with the context's cipher mode bits.
uint8_t PassFlagsByte(const ThreadContext& context);
// "XX:XX:XX:XX:XX:XX" and "a.b.c.d".
void UnitMacText(const uint8_t mac[6], char16_t (&out)[18]);
void UnitAddressText(const uint8_t ip[4], char16_t (&out)[16]);

// Whether job bit 0x10 is set; when it is, clears it.
bool TakeAbort(ThreadContext& context);
// After an aborted pass's end notice: cancels a pending test job (code 3 with 200) and a
// pending upgrade job (code 4 with 200, bootloader flag cleared), so an operator's abort
// never leaves a queued pass to start by itself.
void CancelPendingJobs(ThreadContext& context);
