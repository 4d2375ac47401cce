#include "app/extended_mode.h"

bool DecideExtendedMode(const std::vector<std::u16string>& arguments, bool controlHeld,
                        bool shiftHeld) {
    for (const std::u16string& argument : arguments) {
        if (argument.find(u"-d") != std::u16string::npos) {
            return true;
        }
    }
    return controlHeld && shiftHeld;
}
