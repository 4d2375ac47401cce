#include "tessaly/nat_script.h"

#include "tessaly/nat_listing.h"

#include <cstdio>
#include <cstring>

namespace tessaly {
namespace {

std::string AddressText(const uint8_t (&address)[4]) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
    return text;
}

// snprintf rather than std::to_string, whose digit table is a unique symbol that would
// show in the library's exports despite hidden visibility.
std::string NumberText(unsigned number) {
    char text[12];
    std::snprintf(text, sizeof text, "%u", number);
    return text;
}

std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

void AddRuleLines(std::string& script, const std::string& interfaceName,
                  const std::string& publicAddress, const RuleItem& rule) {
    const std::string privateAddress = AddressText(rule.privateAddress);
    for (const auto& [flag, protocol] :
         {std::pair{TESSALY_PROTO_TCP, "TCP"}, std::pair{TESSALY_PROTO_UDP, "UDP"}}) {
        if (rule.protocols & flag) {
            script += "add portmapping name=\"" + interfaceName + "\" proto=" + protocol +
                      " publicip=" + publicAddress + " publicport=" + NumberText(rule.publicPort) +
                      " privateip=" + privateAddress +
                      " privateport=" + NumberText(rule.privatePort) + "\n";
        }
    }
}

constexpr char kGlobalSettings[] =
    "set global tcptimeoutmins=1440 udptimeoutmins=1 loglevel=ERROR\n";

} // namespace

std::string ExecuteScript(const MappingObject& object) {
    const std::string publicAddress =
        object.usePublicAddress ? AddressText(object.publicIpv4) : std::string("0.0.0.0");
    const std::string publicName =
        FieldText(object.publicFriendlyAnsi, sizeof object.publicFriendlyAnsi);

    std::string script = "pushd routing ip nat\nuninstall\ninstall\n";
    script += kGlobalSettings;
    script += "# interface(s)\n";
    for (uint16_t i = 0; i < object.interfaces.count; ++i) {
        const InterfaceItem& item = object.interfaces.items[i];
        script += "add interface name=\"" + FieldText(item.name, sizeof item.name) +
                  "\" mode=" + ModeScriptWord(item.mode) + "\n";
    }
    script += "# saved rule(s)\n";
    for (uint16_t i = 0; i < object.savedRules.count; ++i) {
        const RuleItem& rule = object.savedRules.items[i];
        AddRuleLines(script, FieldText(rule.interfaceName, sizeof rule.interfaceName),
                     AddressText(rule.publicAddress), rule);
    }
    script += "# zan's rule(s)\n";
    for (uint16_t i = 0; i < object.newRules.count; ++i) {
        AddRuleLines(script, publicName, publicAddress, object.newRules.items[i]);
    }
    script += "popd\n";
    return script;
}

std::string InstallScript() {
    return std::string("pushd routing ip nat\ninstall\n") + kGlobalSettings + "popd\n";
}

std::string ListingBatch(const std::string& listingPath) {
    return "@netsh routing ip nat show interface > \"" + listingPath + "\"\n";
}

std::string ScriptBatch(const std::string& scriptPath) {
    return "@netsh -f \"" + scriptPath + "\"\n";
}

std::string RefreshBatch(const std::string& basePath) {
    return "@netsh routing ip nat dump > \"" + basePath + "\"\n@netsh -f \"" + basePath + "\"\n";
}

std::string ExecuteBatch(const std::string& scriptPath, const std::string& outputPath) {
    return "@netsh -f \"" + scriptPath + "\" > \"" + outputPath + "\"\n";
}

std::optional<std::string> BatchPath(std::string_view path) {
    std::string quoted;
    for (char c : path) {
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
        quoted += c;
        if (c == '%') {
            quoted += '%';
        }
    }
    return quoted;
}

std::string WithCrLf(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            result += '\r';
        }
        result += c;
    }
    return result;
}

} // namespace tessaly
