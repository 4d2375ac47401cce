#include "app/windows/draggable_dialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A shown dialog of a fixed size at a known place, and a drag of it by the client area.
class DraggableDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.resize(200, 100);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        dialog.move(100, 100);
        QCoreApplication::processEvents();
    }

    void Drag(QPoint by) {
        const QPoint start(20, 20);
        QTest::mousePress(&dialog, Qt::LeftButton, {}, start);
        EXPECT_TRUE(dialog.dragging());
        QTest::mouseMove(&dialog, start + by);
        QTest::mouseRelease(&dialog, Qt::LeftButton, {}, start + by);
        EXPECT_FALSE(dialog.dragging());
        QCoreApplication::processEvents();
    }

    CDraggableDialog dialog;
};

} // namespace

TEST_F(DraggableDialogTest, DraggingTheClientAreaMovesTheWindow) {
    const QPoint before = dialog.pos();
    Drag(QPoint(50, 30));
    EXPECT_EQ(dialog.pos(), before + QPoint(50, 30));
}

TEST_F(DraggableDialogTest, TheBordersDoNotResize) {
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.size(), QSize(200, 100));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(DraggableDialogTest, TheCloseButtonStillCloses) {
    EXPECT_TRUE(dialog.close());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DraggableDialogTest, ADropBeyondTheFourPixelMarginCentresTheWindow) {
    // Right edge of the frame at x = 4: it stays where it was dropped.
    const QRect frame = dialog.frameGeometry();
    const int rightEdge = frame.left() + frame.width();
    Drag(QPoint(4 - rightEdge, 0));
    EXPECT_EQ(dialog.frameGeometry().left() + dialog.frameGeometry().width(), 4);

    // One more pixel to the left (right edge at 3): back to the middle of the screen.
    Drag(QPoint(-1, 0));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 1);
}

TEST(DraggableDialog, AnOwnedWindowDroppedOffTheScreenCentresOnItsOwner) {
    QWidget owner;
    owner.setGeometry(300, 200, 400, 300);
    owner.show();
    CDraggableDialog dialog(&owner);
    dialog.resize(100, 80);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.move(100, 100);
    QCoreApplication::processEvents();
    const QPoint start(10, 10);
    QTest::mousePress(&dialog, Qt::LeftButton, {}, start);
    QTest::mouseMove(&dialog, start + QPoint(0, -2000));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, start + QPoint(0, -2000));
    QCoreApplication::processEvents();
    EXPECT_LE((dialog.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              1);
}
