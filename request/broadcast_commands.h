// The dispatcher commands that reach units by one UDP datagram per destination address.
#pragma once

#include "request/proc_api.h"

#include <cstddef>
#include <cstdint>

void caseQryDiscover(ThreadContext& context, const UnpackedRequest& request);
void caseGetGroupInfo(ThreadContext& context, const UnpackedRequest& request);
void caseSetGroupInfo(ThreadContext& context, const UnpackedRequest& request);
void case_GetNetInfo(ThreadContext& context, const UnpackedRequest& request);
void caseSetNetInfo(ThreadContext& context, const UnpackedRequest& request);
void caseSendActions(ThreadContext& context, const UnpackedRequest& request);

// True when an action body of `bodyLength` bytes fits one broadcast packet built with
// `flags` (the enciphered form pads the payload to whole blocks).
bool ActionBodyFits(uint8_t flags, size_t bodyLength);
