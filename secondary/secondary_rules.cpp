#include "secondary/secondary_rules.h"

#include "config/address_text.h"
#include "platform/named_event.h"

#include <algorithm>

namespace {

template <size_t N> bool Empty(const char16_t (&text)[N]) {
    return text[0] == 0;
}

template <size_t N> std::u16string Text(const char16_t (&text)[N]) {
    return std::u16string(text, std::find(text, text + N, u'\0'));
}

bool Zero(const VersionTriple& v) {
    return v.major == 0 && v.minor == 0 && v.build == 0;
}

} // namespace

bool QualifiesAsPrimary(const DeviceEntry& e) {
    return (e.status == kStatusTested && e.selection == kShownSelected && e.secondaryCount > 0 &&
            e.map > 0 && !Empty(e.packFilename)) ||
           !Empty(e.blPackFilename);
}

int CountQualifyingPrimaries(const DeviceTable& table) {
    const int count = std::clamp(table.count, 0, kDeviceTableSlots);
    return static_cast<int>(std::count_if(table.slots, table.slots + count, QualifiesAsPrimary));
}

int ShownSecondaryCount(const DeviceEntry& entry) {
    return std::min<int>(entry.secondaryCount, kMaxSecondaries);
}

bool HasValidPackage(const DeviceEntry& e, bool bootloader) {
    if (bootloader) {
        return e.blPackRev != 0 && !Empty(e.blPackFilename);
    }
    const bool noVersions =
        Zero(e.packKernelVersion) && Zero(e.packFilesysVersion) && Zero(e.packPatchVersion);
    return !noVersions && !Empty(e.packFilename);
}

std::u16string MissingPackageMessage(const DeviceEntry& e, bool bootloader) {
    char16_t mac[kMacTextUnits];
    MacToText(e.macAddress, mac);
    const std::u16string name = Text(e.deviceName);
    std::u16string text = u"PDU Named (" + name + u") MAC (" + mac + u") does not have valid ";
    if (bootloader) {
        text += u"BLPack (Bootloader package) file!\n\nBefore upgrading the secondaries, please "
                u"upgrade the bootloader on ";
    } else {
        text += u"Pack (Firmware package) file!\n\nBefore upgrading the secondaries, please "
                u"upgrade the firmware on ";
    }
    return text + name;
}

const char16_t* UpgradeQuestion(bool bootloader) {
    return bootloader
               ? u"Are you sure you want to upgrade the Bootloader for all linked PDUs in the list?"
               : u"Are you sure you want to upgrade the Firmware for all linked PDUs in the list?";
}

bool HandJobToUpgrader(ThreadContext& context, uint8_t bit) {
    JobFlagSet(context, bit);
    bool existed = false;
    platform::EventHandle event = platform::CreateNamedEvent(kUpdaterEvent, false, false, &existed);
    const bool signalled = existed && platform::SetEvent(event);
    // A handle opened here only to look is closed again, so a missing event stays missing.
    platform::CloseEvent(event);
    return signalled;
}
