// ravelin-settings <program-file> <mac> <ip> <mask>: stores the station identity
// (configuration items 8, 7 and 9) in the settings file that a Ravelin program file at
// <program-file> reads, so a demo starts with a settings file of its own.
#include "config/address_text.h"
#include "config/config_items.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: ravelin-settings <program-file> <mac> <ip> <mask>\n");
        return 2;
    }
    std::u16string texts[4];
    for (int i = 0; i < 4; ++i) {
        texts[i] = platform::Utf8ToUtf16(argv[i + 1]);
    }
    platform::SetProgramFileOverride(texts[0]);
    SetConfigDefaults();
    LoadAllConfigItems();
    ConfigValues& config = TheConfig();
    TextToMac(texts[1].c_str(), config.mgrmacaddr);
    TextToIp(texts[2].c_str(), config.mgripaddr);
    TextToIp(texts[3].c_str(), config.mgrsubnetmask);
    if (SaveConfigItem(kCfgMgrIpAddr) == 0 || SaveConfigItem(kCfgMgrMacAddr) == 0 ||
        SaveConfigItem(kCfgMgrSubnetMask) == 0) {
        std::fprintf(stderr, "ravelin-settings: cannot write the settings file\n");
        return 1;
    }
    return 0;
}
