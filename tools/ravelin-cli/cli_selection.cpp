#include "tools/ravelin-cli/cli_selection.h"

#include "config/address_text.h"
#include "platform/utf8.h"

#include <cstring>

namespace cli {
namespace {

bool Qualifies(const DeviceEntry& e) {
    return (e.status == kStatusTested && e.selection == kShownSelected && e.secondaryCount > 0 &&
            e.map > 0 && e.packFilename[0] != 0) ||
           e.blPackFilename[0] != 0;
}

bool IsZero(const VersionTriple& v) {
    return v.major == 0 && v.minor == 0 && v.build == 0;
}

std::string Utf8(const char16_t* text) {
    std::string out;
    platform::Utf16ToUtf8(text, &out);
    return out;
}

} // namespace

std::vector<int> MarkSelection(DeviceTable& table, const CliOptions& options,
                               std::vector<std::string>* missing) {
    std::vector<int> selected;
    for (int slot = 0; slot < table.count; ++slot) {
        DeviceEntry& e = table.slots[slot];
        bool chosen = false;
        switch (options.select) {
        case SelectKind::All:
            chosen = true;
            break;
        case SelectKind::Status:
            chosen = e.status == options.selectStatus;
            break;
        case SelectKind::Macs:
            for (const auto& mac : options.selectMacs) {
                chosen = chosen || std::memcmp(mac.data(), e.macAddress, 6) == 0;
            }
            break;
        case SelectKind::None:
            break;
        }
        e.selection = chosen ? kShownSelected : kShown;
        if (chosen) {
            selected.push_back(slot);
        }
    }
    if (missing) {
        for (const auto& mac : options.selectMacs) {
            if (FindEntryByMac(table, mac.data()) == kNoSlot) {
                char16_t text[kMacTextUnits];
                MacToText(mac.data(), text);
                missing->push_back(Utf8(text));
            }
        }
    }
    return selected;
}

std::vector<int> ListPrimaries(DeviceTable& table) {
    std::vector<int> listed;
    for (int slot = 0; slot < table.count; ++slot) {
        DeviceEntry& e = table.slots[slot];
        e.secondaryState = Qualifies(e) ? kSecondaryPresent : kSecondaryInvalid;
        if (e.secondaryState == kSecondaryPresent) {
            listed.push_back(slot);
        }
    }
    return listed;
}

std::string QueueSecondaries(DeviceTable& table, bool bootloader) {
    for (int slot = 0; slot < table.count; ++slot) {
        const DeviceEntry& e = table.slots[slot];
        if (e.secondaryState != kSecondaryTested) {
            continue;
        }
        char16_t mac[kMacTextUnits];
        MacToText(e.macAddress, mac);
        const std::string name = Utf8(e.deviceName);
        if (!bootloader && ((IsZero(e.packKernelVersion) && IsZero(e.packFilesysVersion) &&
                             IsZero(e.packPatchVersion)) ||
                            e.packFilename[0] == 0)) {
            return "PDU Named (" + name + ") MAC (" + Utf8(mac) +
                   ") does not have valid Pack (Firmware package) file!\n\nBefore upgrading "
                   "the secondaries, please upgrade the firmware on " +
                   name;
        }
        if (bootloader && (e.blPackRev == 0 || e.blPackFilename[0] == 0)) {
            return "PDU Named (" + name + ") MAC (" + Utf8(mac) +
                   ") does not have valid BLPack (Bootloader package) file!\n\nBefore "
                   "upgrading the secondaries, please upgrade the bootloader on " +
                   name;
        }
    }
    for (int slot = 0; slot < table.count; ++slot) {
        DeviceEntry& e = table.slots[slot];
        if (e.secondaryState == kSecondaryTested) {
            e.secondaryState = kSecondarySelected;
        }
    }
    return {};
}

} // namespace cli
