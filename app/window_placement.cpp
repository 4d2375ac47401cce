#include "app/window_placement.h"

bool WindowIsOffScreen(const WindowEdges& w, int width, int height) {
    const int m = kOffScreenMargin;
    return (w.left < m && w.right < m) || (w.left >= width - m && w.right >= width - m) ||
           (w.top < m && w.bottom < m) || (w.top >= height - m && w.bottom >= height - m);
}
