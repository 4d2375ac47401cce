// Dispatcher commands that talk to one unit over a CompTalk session: each opens a
// session, makes at most one exchange, closes it and turns the answer into the reply.
#pragma once

#include "request/proc_api.h"

void caseSetFields(ThreadContext& context, const UnpackedRequest& request);
void caseQryFields(ThreadContext& context, const UnpackedRequest& request);
void caseSetConfig(ThreadContext& context, const UnpackedRequest& request);
void caseQryConfig(ThreadContext& context, const UnpackedRequest& request);
void caseSetState(ThreadContext& context, const UnpackedRequest& request);
void caseQryState(ThreadContext& context, const UnpackedRequest& request);
void caseSendCmd(ThreadContext& context, const UnpackedRequest& request);
void caseSSendCmd(ThreadContext& context, const UnpackedRequest& request);
void caseGetMetrics(ThreadContext& context, const UnpackedRequest& request);
void caseUpdateConfigFromDb(ThreadContext& context, const UnpackedRequest& request);
void caseUpdateFieldsFromDb(ThreadContext& context, const UnpackedRequest& request);
void caseTestDevConnection(ThreadContext& context, const UnpackedRequest& request);
void caseTestRemDevConnection(ThreadContext& context, const UnpackedRequest& request);
void caseGetPDUBaseAttributes(ThreadContext& context, const UnpackedRequest& request);
void caseGetPDUAttributes(ThreadContext& context, const UnpackedRequest& request);
