// The texts and data an upgrade tells a unit: the command text from the settings, the
// option word, the per-unit command, and the secondaries upgrade data.
#pragma once

#include "upgrade/pass_settings.h"

#include <cstddef>
#include <cstdint>

// The command text has at most 255 characters; a unit command travels in at most 128
// bytes with its zero byte.
inline constexpr size_t kCommandTextLimit = 255;
inline constexpr size_t kUnitCommandRoom = 128;

struct CommandText {
    char text[kCommandTextLimit + 1];
    size_t length;
};

// Builds the command text for `settings` and the bootloader flag. False when the method
// has no text or the text would pass 255 characters (nothing is cut short).
bool BuildUpgradeCommandText(const PassSettings& settings, bool bootloader, CommandText& out);

// "", "noteq" or "force"; null for an option without a word.
const char* OptionWord(uint8_t option);

// Units from software minor 17, build 227 on answer the package query and take an option
// word. The major part does not count.
inline constexpr int kPackageQueryVersion = 17 * 256 + 227;
inline int UnitVersionNumber(uint8_t minor, uint8_t build) {
    return minor * 256 + build;
}

// The text one unit receives: "<option word> <command text>" for new units (option 0
// leaves one leading space), the command text alone for older ones. Returns the length
// without the zero byte, or -1 when the option has no word (for any unit: the pass's
// settings are wrong) or the text and its zero byte would not fit the 128 bytes a unit
// command carries.
int ComposeUnitCommand(const CommandText& command, uint8_t option, bool newUnit,
                       char (&out)[kUnitCommandRoom]);

// 0x95 0x13 0x24 0x08, the option byte, and 0x01 with the bootloader flag. Returns 5 or 6.
inline constexpr size_t kSecondariesDataRoom = 6;
size_t SecondariesUpgradeData(uint8_t option, bool bootloader,
                              uint8_t (&out)[kSecondariesDataRoom]);
