#include "platform/qt/window_menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <QWidget>

namespace platform {

WindowMenu::WindowMenu(QWidget* window, Handler handler)
    : menu_(new QMenu(window)), handler_(std::move(handler)) {
    window->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(window, &QWidget::customContextMenuRequested, menu_,
                     [this, window](const QPoint& at) { menu_->popup(window->mapToGlobal(at)); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), window);
    QObject::connect(shortcut, &QShortcut::activated, menu_,
                     [this, window] { menu_->popup(window->mapToGlobal(QPoint(0, 0))); });
}

void WindowMenu::AppendItem(uint32_t command, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    menu_->addSeparator();
    QAction* action = menu_->addAction(text);
    action->setData(command);
    QObject::connect(action, &QAction::triggered, menu_, [this, command] {
        if (handler_) {
            handler_(command);
        }
    });
}

bool WindowMenu::Choose(uint32_t command) {
    for (QAction* action : menu_->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == command) {
            action->trigger();
            return true;
        }
    }
    return false;
}

} // namespace platform
