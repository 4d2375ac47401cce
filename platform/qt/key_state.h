// Which modifier keys are held at this moment. Tests set the answer.
#pragma once

#include <optional>

namespace platform {

struct KeyState {
    bool control = false;
    bool shift = false;
};

// The real state comes from the window system (QGuiApplication); without an application
// object nothing counts as held.
KeyState CurrentKeyState();
bool IsControlDown();

// Test hook: a fixed answer, or std::nullopt for the real keyboard again.
void SetKeyStateOverride(std::optional<KeyState> state);

} // namespace platform
