#include "request/command_table.h"

#include "request/broadcast_commands.h"
#include "request/device_commands.h"
#include "request/local_commands.h"
#include "request/nic_info_command.h"

#include <algorithm>
#include <array>

namespace {

// Sorted by code. Unit commands whose handlers are not built yet answer with a failure
// status reply through caseNotYetAvailable; the comment names the handler each will get.
constexpr std::array kCommands = {
    CommandEntry{1, "QryDiscover", caseQryDiscover, true},
    CommandEntry{2, "GetGroupInfo", caseGetGroupInfo, true},
    CommandEntry{3, "SetGroupInfo", caseSetGroupInfo, true},
    CommandEntry{4, "GetNetInfo", case_GetNetInfo, true},
    CommandEntry{5, "SetNetInfo", caseSetNetInfo, true},
    CommandEntry{6, "SetFields", caseSetFields, true},
    CommandEntry{7, "QryFields", caseQryFields, true},
    CommandEntry{8, "SetConfig", caseSetConfig, true},
    CommandEntry{9, "QryConfig", caseQryConfig, true},
    CommandEntry{10, "SetState", caseSetState, true},
    CommandEntry{11, "QryState", caseQryState, true},
    CommandEntry{12, "SendCmd", caseSendCmd, true},
    CommandEntry{13, "TestParamList", caseTestParamList, false},
    CommandEntry{14, "QryNoValue", caseQryNoValue, false},
    CommandEntry{15, "", caseFail, false},
    CommandEntry{16, "", caseFail, false},
    CommandEntry{17, "", caseFail, false},
    CommandEntry{18, "GetMetrics", caseGetMetrics, true},
    CommandEntry{19, "UpdateConfigFromDb", caseUpdateConfigFromDb, true},
    CommandEntry{20, "UpdateFieldsFromDb", caseUpdateFieldsFromDb, true},
    CommandEntry{21, "TestDevConnection", caseTestDevConnection, true},
    CommandEntry{22, "QryNoValue", caseQryNoValue, false},
    CommandEntry{23, "", caseFail, false},
    CommandEntry{24, "GetNICInfo", caseGetNICInfo, false},
    CommandEntry{25, "", caseFail, false},
    CommandEntry{26, "", caseFail, false},
    CommandEntry{27, "", caseFail, false},
    CommandEntry{28, "GetStationInfo", caseGetStationInfo, false},
    CommandEntry{29, "", caseFail, false},
    CommandEntry{30, "", caseFail, false},
    CommandEntry{31, "", caseFail, false},
    CommandEntry{32, "", caseFail, false},
    CommandEntry{33, "TestRemDevConnection", caseTestRemDevConnection, true},
    CommandEntry{34, "GetPDUBaseAttributes", caseGetPDUBaseAttributes, true},
    CommandEntry{35, "GetPDUAttributes", caseGetPDUAttributes, true},
    CommandEntry{36, "SendActions", caseSendActions, true},
    CommandEntry{37, "GetInfoBlock", caseGetInfoBlock, false},
    CommandEntry{38, "", caseFail38, false},
    CommandEntry{39, "SetConfig", caseSetConfig, true},
    CommandEntry{40, "SetState", caseSetState, true},
    CommandEntry{41, "SendCmd", caseSendCmd, true},
    CommandEntry{42, "SSendCmd", caseSSendCmd, true},
    CommandEntry{64, "GetTextLines", caseGetTextLines, false},
    CommandEntry{65, "NoOp", caseNoOp, false},
    CommandEntry{66, "", caseFail, false},
    CommandEntry{67, "", caseFail, false},
    CommandEntry{68, "", caseFail, false},
    CommandEntry{69, "GetThreadStates", caseGetThreadStates, false},
    CommandEntry{70, "MarkFlag80", caseMarkFlag80, false},
    CommandEntry{71, "MarkFlag01", caseMarkFlag01, false},
    CommandEntry{72, "GetText", caseGetText, false},
    CommandEntry{73, "SetValue32", caseSetValue32, false},
    CommandEntry{1025, "Echo", caseEcho, false},
};

constexpr bool IsSortedByCode() {
    for (size_t i = 1; i < kCommands.size(); ++i) {
        if (kCommands[i - 1].code >= kCommands[i].code) {
            return false;
        }
    }
    return true;
}
static_assert(IsSortedByCode());

} // namespace

const CommandEntry* FindCommand(uint16_t code) {
    auto found = std::lower_bound(
        kCommands.begin(), kCommands.end(), code,
        [](const CommandEntry& entry, uint16_t wanted) { return entry.code < wanted; });
    return found != kCommands.end() && found->code == code ? &*found : nullptr;
}
