// Misbehaviour on request: which fault kinds exist, which units they hit, and the set of
// faults that one unit carries.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace unitsim {

enum class FaultKind {
    Silent,          // no answer to any broadcast request
    NoGreeting,      // accepts a session but never greets
    BadGreeting,     // greets with command 7 instead of 2
    LoginRefused,    // answers every login with 4, 0, 0xAA
    Delay,           // every answer leaves `value` ms late
    BadCrc,          // every answer carries a broken outer CRC
    WrongSub,        // every answer carries the request's sub-command plus one
    Oversize,        // every answer is a packet of more than 2,048 bytes
    CloseAfterLogin, // closes the session right after a successful login
    ShortDiscovery,  // discovery replies stop after `value` payload bytes
    OldSoftware,     // reports software 2.17.226 (too old for the package query)
};

// Units a rule applies to: indices, address ranges and fractions; empty means all.
struct UnitSelector {
    std::vector<std::pair<uint32_t, uint32_t>> indices; // inclusive ranges
    std::vector<std::pair<uint32_t, uint32_t>> addresses;
    std::vector<std::pair<uint32_t, uint32_t>> fractions; // numerator, denominator

    bool Matches(uint32_t index, uint32_t ip) const;
};

struct FaultRule {
    FaultKind kind = FaultKind::Silent;
    int value = 0;
    UnitSelector which;
};

// The faults one unit carries.
struct UnitFaults {
    bool silent = false;
    bool noGreeting = false;
    bool badGreeting = false;
    bool loginRefused = false;
    bool badCrc = false;
    bool wrongSub = false;
    bool oversize = false;
    bool closeAfterLogin = false;
    bool oldSoftware = false;
    int delayMs = 0;
    int shortDiscovery = 0; // payload bytes of a discovery reply, 0 = whole
};

// Parses "KIND[=VALUE][:WHICH]". On failure returns false with `error` set.
bool ParseFaultRule(const std::string& text, FaultRule& rule, std::string& error);

// Applies every rule that matches unit `index` at `ip`.
UnitFaults FaultsForUnit(const std::vector<FaultRule>& rules, uint32_t index, uint32_t ip);

const char* FaultKindName(FaultKind kind);

} // namespace unitsim
