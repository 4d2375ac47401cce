#include "tools/unit-sim/faults.h"

#include "tools/unit-sim/options.h"

#include <array>
#include <cstdlib>

namespace unitsim {
namespace {

struct KindName {
    FaultKind kind;
    const char* name;
    bool takesValue;
    int defaultValue;
};

constexpr std::array<KindName, 11> kKinds{{
    {FaultKind::Silent, "silent", false, 0},
    {FaultKind::NoGreeting, "no-greeting", false, 0},
    {FaultKind::BadGreeting, "bad-greeting", false, 0},
    {FaultKind::LoginRefused, "login-refused", false, 0},
    {FaultKind::Delay, "delay", true, 500},
    {FaultKind::BadCrc, "bad-crc", false, 0},
    {FaultKind::WrongSub, "wrong-sub", false, 0},
    {FaultKind::Oversize, "oversize", false, 0},
    {FaultKind::CloseAfterLogin, "close-after-login", false, 0},
    {FaultKind::ShortDiscovery, "short-discovery", true, 100},
    {FaultKind::OldSoftware, "old-sw", false, 0},
}};

bool ParseNumber(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

// One item of WHICH: "N", "N-M", "A.B.C.D", "A.B.C.D-A.B.C.D", "P%" or "A/B".
bool ParseSelectorItem(const std::string& item, UnitSelector& which) {
    if (!item.empty() && item.back() == '%') {
        uint32_t percent = 0;
        if (!ParseNumber(item.substr(0, item.size() - 1), percent) || percent > 100) {
            return false;
        }
        which.fractions.emplace_back(percent, 100);
        return true;
    }
    if (size_t slash = item.find('/'); slash != std::string::npos) {
        uint32_t num = 0, den = 0;
        if (!ParseNumber(item.substr(0, slash), num) || !ParseNumber(item.substr(slash + 1), den) ||
            den == 0 || num > den) {
            return false;
        }
        which.fractions.emplace_back(num, den);
        return true;
    }
    size_t dash = item.find('-');
    std::string first = item.substr(0, dash);
    std::string last = dash == std::string::npos ? first : item.substr(dash + 1);
    if (first.find('.') != std::string::npos) {
        uint32_t a = 0, b = 0;
        if (!ParseIpv4(first, a) || !ParseIpv4(last, b) || b < a) {
            return false;
        }
        which.addresses.emplace_back(a, b);
        return true;
    }
    uint32_t a = 0, b = 0;
    if (!ParseNumber(first, a) || !ParseNumber(last, b) || b < a) {
        return false;
    }
    which.indices.emplace_back(a, b);
    return true;
}

} // namespace

bool UnitSelector::Matches(uint32_t index, uint32_t ip) const {
    if (indices.empty() && addresses.empty() && fractions.empty()) {
        return true;
    }
    for (const auto& [a, b] : indices) {
        if (index >= a && index <= b) {
            return true;
        }
    }
    for (const auto& [a, b] : addresses) {
        if (ip >= a && ip <= b) {
            return true;
        }
    }
    // Unit k is in the fraction when floor((k+1)·f) passes floor(k·f): exactly floor(N·f)
    // of the first N units, spread evenly over the fleet.
    for (const auto& [num, den] : fractions) {
        uint64_t before = static_cast<uint64_t>(index) * num / den;
        uint64_t after = (static_cast<uint64_t>(index) + 1) * num / den;
        if (after > before) {
            return true;
        }
    }
    return false;
}

bool ParseFaultRule(const std::string& text, FaultRule& rule, std::string& error) {
    size_t colon = text.find(':');
    std::string head = text.substr(0, colon);
    std::string which = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    size_t equals = head.find('=');
    std::string kind = head.substr(0, equals);
    const KindName* found = nullptr;
    for (const auto& k : kKinds) {
        if (kind == k.name) {
            found = &k;
        }
    }
    if (found == nullptr) {
        error = "unknown fault kind '" + kind + "'";
        return false;
    }
    rule = FaultRule{};
    rule.kind = found->kind;
    rule.value = found->defaultValue;
    if (equals != std::string::npos) {
        uint32_t value = 0;
        if (!found->takesValue || !ParseNumber(head.substr(equals + 1), value)) {
            error = "bad value in fault '" + head + "'";
            return false;
        }
        rule.value = static_cast<int>(value);
    }
    // A discovery reply keeps at least its two command bytes and stays short of whole.
    if (rule.kind == FaultKind::ShortDiscovery && (rule.value < 2 || rule.value >= 166)) {
        error = "short-discovery takes 2..165 payload bytes";
        return false;
    }
    if (colon != std::string::npos) {
        size_t start = 0;
        while (start <= which.size()) {
            size_t comma = which.find(',', start);
            std::string item = which.substr(start, comma - start);
            if (!ParseSelectorItem(item, rule.which)) {
                error = "bad unit selection '" + item + "' in fault '" + text + "'";
                return false;
            }
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
    }
    return true;
}

UnitFaults FaultsForUnit(const std::vector<FaultRule>& rules, uint32_t index, uint32_t ip) {
    UnitFaults faults;
    for (const auto& rule : rules) {
        if (!rule.which.Matches(index, ip)) {
            continue;
        }
        switch (rule.kind) {
        case FaultKind::Silent:
            faults.silent = true;
            break;
        case FaultKind::NoGreeting:
            faults.noGreeting = true;
            break;
        case FaultKind::BadGreeting:
            faults.badGreeting = true;
            break;
        case FaultKind::LoginRefused:
            faults.loginRefused = true;
            break;
        case FaultKind::Delay:
            faults.delayMs = rule.value;
            break;
        case FaultKind::BadCrc:
            faults.badCrc = true;
            break;
        case FaultKind::WrongSub:
            faults.wrongSub = true;
            break;
        case FaultKind::Oversize:
            faults.oversize = true;
            break;
        case FaultKind::CloseAfterLogin:
            faults.closeAfterLogin = true;
            break;
        case FaultKind::ShortDiscovery:
            faults.shortDiscovery = rule.value;
            break;
        case FaultKind::OldSoftware:
            faults.oldSoftware = true;
            break;
        }
    }
    return faults;
}

const char* FaultKindName(FaultKind kind) {
    for (const auto& k : kKinds) {
        if (k.kind == kind) {
            return k.name;
        }
    }
    return "?";
}

} // namespace unitsim
