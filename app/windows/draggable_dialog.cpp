#include "app/windows/draggable_dialog.h"

#include "app/window_placement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

CDraggableDialog::CDraggableDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
}

void CDraggableDialog::showEvent(QShowEvent* event) {
    if (layout()) {
        layout()->setSizeConstraint(QLayout::SetFixedSize);
    } else {
        setFixedSize(size());
    }
    QDialog::showEvent(event);
}

void CDraggableDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        setCursor(Qt::SizeAllCursor);
        grabMouse();
        anchor_ = event->position().toPoint();
    }
    QDialog::mousePressEvent(event);
}

void CDraggableDialog::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    MoveFrameTo(FrameRect().topLeft() + (event->position().toPoint() - anchor_));
}

void CDraggableDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        setCursor(Qt::ArrowCursor);
        releaseMouse();
        const QRect frame = FrameRect();
        const QSize screen = QGuiApplication::primaryScreen()->virtualSize();
        const WindowEdges edges{frame.left(), frame.top(), frame.left() + frame.width(),
                                frame.top() + frame.height()};
        if (WindowIsOffScreen(edges, screen.width(), screen.height())) {
            CentreOnOwnerOrScreen();
        }
    }
    QDialog::mouseReleaseEvent(event);
}

void CDraggableDialog::CentreOnOwnerOrScreen() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area =
        owner ? owner->frameGeometry() : QGuiApplication::primaryScreen()->availableGeometry();
    QRect frame = FrameRect();
    frame.moveCenter(area.center());
    MoveFrameTo(frame.topLeft());
}

QRect CDraggableDialog::FrameRect() const {
    // The native window knows a move at once; the widget learns of it from an event.
    return windowHandle() ? windowHandle()->frameGeometry() : frameGeometry();
}

void CDraggableDialog::MoveFrameTo(QPoint topLeft) {
    // QWidget::move shifts a window with a negative position by its frame; the native
    // window's frame position is exact.
    if (windowHandle()) {
        windowHandle()->setFramePosition(topLeft);
    } else {
        move(topLeft);
    }
}
