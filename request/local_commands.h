// Commands the dispatcher answers on its own, without talking to a unit.
#pragma once

#include "request/proc_api.h"

#include <cstdint>

void caseTestParamList(ThreadContext& context, const UnpackedRequest& request);
void caseQryNoValue(ThreadContext& context, const UnpackedRequest& request);
void caseFail(ThreadContext& context, const UnpackedRequest& request);
void caseFail38(ThreadContext& context, const UnpackedRequest& request);
void caseGetStationInfo(ThreadContext& context, const UnpackedRequest& request);
void caseGetInfoBlock(ThreadContext& context, const UnpackedRequest& request);
void caseGetTextLines(ThreadContext& context, const UnpackedRequest& request);
void caseNoOp(ThreadContext& context, const UnpackedRequest& request);
void caseGetThreadStates(ThreadContext& context, const UnpackedRequest& request);
void caseMarkFlag80(ThreadContext& context, const UnpackedRequest& request);
void caseMarkFlag01(ThreadContext& context, const UnpackedRequest& request);
void caseGetText(ThreadContext& context, const UnpackedRequest& request);
void caseSetValue32(ThreadContext& context, const UnpackedRequest& request);
void caseEcho(ThreadContext& context, const UnpackedRequest& request);

// Stands in for a unit command whose handler is not built yet: a failure status reply.
void caseNotYetAvailable(ThreadContext& context, const UnpackedRequest& request);

// The process-wide values that commands 70, 71 and 73 write. Nothing in the program
// reads them; they are visible for inspection.
uint8_t RequestFlagByte();
uint32_t StoredValue32();
