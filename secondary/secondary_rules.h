// The rules of the secondary-devices window that need no widget: which primaries it lists,
// the package each selected primary must have before its secondaries are upgraded, the
// texts of the questions and messages, and handing a job to the upgrader thread.
#pragma once

#include "app/device_table.h"
#include "request/thread_context.h"

#include <cstdint>
#include <string>

// A primary is listed when it was tested, is selected, has secondaries and a firmware
// package (map and file name), or when its bootloader package file name is known.
bool QualifiesAsPrimary(const DeviceEntry& entry);
int CountQualifyingPrimaries(const DeviceTable& table);

// The secondaries of `entry` that can be shown: its count, never past the 32 slots.
int ShownSecondaryCount(const DeviceEntry& entry);

// Whether `entry` has the package a secondaries upgrade in this mode needs.
bool HasValidPackage(const DeviceEntry& entry, bool bootloader);
// The error shown for the first selected primary without that package.
std::u16string MissingPackageMessage(const DeviceEntry& entry, bool bootloader);

inline constexpr char16_t kNoSelectionText[] = u"No selections made, please try again!";
inline constexpr char16_t kNoSelectionCaption[] = u"Upgrade Secondary PDUs";
inline constexpr char16_t kMissingPackageCaption[] = u"Error";
inline constexpr char16_t kUpgradeCaption[] = u"Upgrade";
inline constexpr char16_t kNothingQualifiesText[] =
    u"No appropriate workable selections were made, please try again!";
inline constexpr char16_t kWindowCaption[] = u"Secondary PDUs";

const char16_t* UpgradeQuestion(bool bootloader);

inline constexpr char16_t kUpdaterEvent[] = u"RavelinUpdaterEvent";

// Sets `bit` in the job flags, then signals "RavelinUpdaterEvent" if that event exists
// (the main window creates it before it starts the upgrader thread). Returns whether it
// was signalled; without the event the job waits unrun.
bool HandJobToUpgrader(ThreadContext& context, uint8_t bit);
