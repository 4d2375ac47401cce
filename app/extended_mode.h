// Whether the program runs in extended mode: "-d" anywhere on the command line
// (case-sensitive, also inside a longer argument), or Ctrl and Shift both held at start.
#pragma once

#include <string>
#include <vector>

bool DecideExtendedMode(const std::vector<std::u16string>& arguments, bool controlHeld,
                        bool shiftHeld);
