#include "platform/qt/key_state.h"

#include <QGuiApplication>

namespace platform {
namespace {
std::optional<KeyState> gOverride;
}

KeyState CurrentKeyState() {
    if (gOverride) {
        return *gOverride;
    }
    if (!QGuiApplication::instance()) {
        return {};
    }
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    return {held.testFlag(Qt::ControlModifier), held.testFlag(Qt::ShiftModifier)};
}

bool IsControlDown() {
    return CurrentKeyState().control;
}

void SetKeyStateOverride(std::optional<KeyState> state) {
    gOverride = state;
}

} // namespace platform
