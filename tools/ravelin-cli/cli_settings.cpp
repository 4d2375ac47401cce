#include "tools/ravelin-cli/cli_settings.h"

#include "config/config_items.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"
#include "request/thread_context.h"
#include "upgrade/pass_settings.h"

#include <algorithm>
#include <cstring>

namespace cli {
namespace {

template <size_t N> void CopyText(const std::u16string& text, char16_t (&field)[N]) {
    const size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), n, field);
    field[n] = 0;
}

template <size_t N, size_t M> void CopyField(const char16_t (&from)[M], char16_t (&to)[N]) {
    size_t n = 0;
    while (n < M && n < N - 1 && from[n] != 0) {
        to[n] = from[n];
        ++n;
    }
    std::fill(to + n, to + N, u'\0');
}

bool AllBytes(const uint8_t* bytes, size_t n, uint8_t value) {
    return std::all_of(bytes, bytes + n, [value](uint8_t b) { return b == value; });
}

} // namespace

bool LoadRunSettings(const std::string& configPath, const std::u16string& programDirectory,
                     const SettingOverrides& o, std::string& error) {
    // The store opens the database named after the program file: point that name at the
    // file asked for (or at the desktop program's own, next to this one).
    std::u16string programFile = programDirectory + platform::kPathSeparator + u"Ravelin";
    if (!configPath.empty()) {
        std::string base = configPath; // ends in ".cfg": the command line saw to it
        base.resize(base.size() - 4);
        programFile = platform::Utf8ToUtf16(base);
        if (programFile.find(u'/') == std::u16string::npos) {
            programFile = u"./" + programFile;
        }
    }
    platform::SetProgramFileOverride(programFile);

    SetConfigDefaults();
    LoadAllConfigItems();
    ConfigValues& c = TheConfig();
    const bool macLoaded = LoadConfigItem(kCfgMgrMacAddr) != 0;
    const bool ipLoaded = LoadConfigItem(kCfgMgrIpAddr) != 0;
    const bool maskLoaded = LoadConfigItem(kCfgMgrSubnetMask) != 0;

    if (o.stationIp) {
        std::memcpy(c.mgripaddr, o.stationIp->data(), 4);
    }
    if (o.stationMask) {
        std::memcpy(c.mgrsubnetmask, o.stationMask->data(), 4);
    }
    if (o.stationMac) {
        std::memcpy(c.mgrmacaddr, o.stationMac->data(), 6);
    }
    if (o.group) {
        CopyText(*o.group, c.groupname);
    }
    if (o.password) {
        CopyText(*o.password, c.groupkey);
    }
    // The ports keep the roles of their items: devsconnlport is the broadcast port,
    // mgrconnlport the listen port, devsbroadlport the session port.
    if (o.broadcastPort) {
        c.devsconnlport = *o.broadcastPort;
    }
    if (o.listenPort) {
        c.mgrconnlport = *o.listenPort;
    }
    if (o.sessionPort) {
        c.devsbroadlport = *o.sessionPort;
    }
    if (o.method) {
        c.upgmethod = static_cast<uint8_t>((c.upgmethod & kMethodTestOnly) | *o.method);
    }
    if (o.option) {
        c.upgoption = *o.option;
    }
    if (o.tftpServer) {
        CopyText(*o.tftpServer, c.upgradetftp);
    }
    if (o.file) {
        CopyText(*o.file, c.upgradefile);
    }
    if (o.blFile) {
        CopyText(*o.blFile, c.upgradeblfile);
    }
    if (o.url) {
        CopyText(*o.url, c.upgradeurl);
    }
    if (o.blUrl) {
        CopyText(*o.blUrl, c.upgradeblurl);
    }
    if (o.maxList) {
        c.maxlistsize = *o.maxList;
    }

    // The desktop program asks for an interface here; a headless run cannot, so it needs
    // one stored or given.
    const bool macUsable = (macLoaded || o.stationMac) && !AllBytes(c.mgrmacaddr, 6, 0x00) &&
                           !AllBytes(c.mgrmacaddr, 6, 0xFF);
    const bool ipUsable = (ipLoaded || o.stationIp) && !AllBytes(c.mgripaddr, 4, 0x00) &&
                          !AllBytes(c.mgripaddr, 4, 0xFF);
    if (!macUsable || !ipUsable || !(maskLoaded || o.stationMask)) {
        error = "no usable station interface in the settings: give --station-ip, "
                "--station-mac and --station-mask (or choose an interface in Ravelin)";
        return false;
    }
    return true;
}

void FillThreadContext(ThreadContext& context, bool rangeSearch) {
    const ConfigValues& c = TheConfig();
    CopyField(c.groupname, context.groupName);
    CopyField(c.groupkey, context.groupKey);
    context.broadcastPort = c.devsconnlport;
    context.listenPort = c.mgrconnlport;
    context.unitSessionPort = c.devsbroadlport;
    context.managerPort = c.mgrbroadlport;
    std::memcpy(context.stationMac, c.mgrmacaddr, 6);
    std::memcpy(context.stationIp, c.mgripaddr, 4);
    std::memcpy(context.stationMask, c.mgrsubnetmask, 4);
    context.cipherMode = 1;
    context.searchFlags = rangeSearch ? kSearchByRange : 0;
}

PassSettings CurrentPassSettings() {
    const ConfigValues& c = TheConfig();
    PassSettings settings{};
    settings.method = c.upgmethod;
    settings.option = c.upgoption;
    CopyField(c.upgradetftp, settings.tftpServer);
    CopyField(c.upgradefile, settings.file);
    CopyField(c.upgradeblfile, settings.bootloaderFile);
    CopyField(c.upgradeurl, settings.url);
    CopyField(c.upgradeblurl, settings.bootloaderUrl);
    return settings;
}

int MaxListSize() {
    return TheConfig().maxlistsize;
}

} // namespace cli
