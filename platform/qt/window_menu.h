// The window menu that stands in for the Windows system menu: a window appends its own
// items with command ids, and a chosen item reaches the window's handler as a system
// command. The menu opens with a right click on the window's background or Alt+Space.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QMenu;
class QWidget;

namespace platform {

// Windows reserves the low four bits of a system command for itself; a command is matched
// with them masked off.
inline constexpr uint32_t SystemCommandOf(uint32_t command) {
    return command & 0xFFF0u;
}

class WindowMenu {
  public:
    using Handler = std::function<void(uint32_t command)>;

    // The menu belongs to `window` (it is destroyed with it).
    WindowMenu(QWidget* window, Handler handler);
    WindowMenu(const WindowMenu&) = delete;
    WindowMenu& operator=(const WindowMenu&) = delete;

    // Appends a separator and the item, only when `text` is not empty ('&' marks the
    // mnemonic, as on Windows).
    void AppendItem(uint32_t command, const QString& text);

    // Chooses the item with this command id as if the operator had picked it; false when
    // there is none.
    bool Choose(uint32_t command);

    QMenu* menu() const { return menu_; }

  private:
    QMenu* menu_;
    Handler handler_;
};

} // namespace platform
