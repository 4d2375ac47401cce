// The common base of the working dialogs: the window moves when it is dragged by the left
// button anywhere on it, its borders do not resize it, and a window dropped off the
// screen goes back to the middle of its owner (or of the screen when it has none).
#pragma once

#include <QDialog>
#include <QPoint>

class CDraggableDialog : public QDialog {
  public:
    explicit CDraggableDialog(QWidget* parent = nullptr);

    bool dragging() const { return dragging_; }

  protected:
    // Fixes the size to what the layout asks for, so the borders do not resize.
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void CentreOnOwnerOrScreen();
    QRect FrameRect() const;
    void MoveFrameTo(QPoint topLeft);

    bool dragging_ = false;
    QPoint anchor_; // where the button went down, in the window's client coordinates
};
