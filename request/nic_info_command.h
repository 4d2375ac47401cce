// Command 24: the workstation's network interfaces, from the TessalyAPI library.
#pragma once

#include "request/proc_api.h"

void caseGetNICInfo(ThreadContext& context, const UnpackedRequest& request);
