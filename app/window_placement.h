// Where a dragged window may be dropped.
#pragma once

// Edges in screen coordinates, Windows style: right and bottom lie one past the window.
struct WindowEdges {
    int left;
    int top;
    int right;
    int bottom;
};

inline constexpr int kOffScreenMargin = 4;

// True when the window lies entirely beyond the 4-pixel margin on one side of a virtual
// screen of `width` x `height` that starts at (0, 0). A window only partly visible, or
// wider or taller than the screen, is not off the screen.
bool WindowIsOffScreen(const WindowEdges& window, int width, int height);
